#!/usr/bin/env python3
"""Breaks the private memory of one Wine process down by what it is.

Reads the Windows view of the address space (the CSV of
`PavoProcessProbe.exe --regions`: thread stacks, TEBs, the process heap,
module images, other allocations) and the Linux view (/proc/PID/smaps and
/proc/PID/pagemap), and counts every page that is private to the process and
present (anonymous, or a copy-on-write copy of a file page) in the Windows
region that holds it. Pages outside every Windows region belong to Wine's own
Linux side (its malloc heap, its libraries' data, its other mappings).

    memory-breakdown.py UNIX_PID REGIONS.csv WINDOWS_PID PROGRAM_NAME [PROGRAM_FILE]

With PROGRAM_FILE (the .exe) the program image's pages are split by section
into debug sections (.debug_*) and code and data, and each section is marked
as copied (private pages) or mapped from the file (shared).

Prints key=value lines (sizes in KiB).
"""
import bisect
import csv
import struct
import sys

PAGE = 4096


def pe_sections(path):
    """(name, rva, virtual_size, file_offset) of every section of a PE file."""
    with open(path, "rb") as f:
        data = f.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, = struct.unpack_from("<H", data, pe + 6)
    symbols, symbol_count = struct.unpack_from("<II", data, pe + 12)
    optional_size, = struct.unpack_from("<H", data, pe + 20)
    strings = symbols + symbol_count * 18
    sections = []
    for i in range(count):
        at = pe + 24 + optional_size + i * 40
        raw_name = data[at:at + 8].rstrip(b"\0").decode("ascii", "replace")
        if raw_name.startswith("/") and symbols:  # long name in the COFF string table
            offset = strings + int(raw_name[1:])
            raw_name = data[offset:data.index(b"\0", offset)].decode("ascii", "replace")
        vsize, rva, raw_size, raw_offset = struct.unpack_from("<IIII", data, at + 8)
        sections.append((raw_name, rva, vsize, raw_offset))
    return sections


def windows_regions(path, winpid):
    regions = []
    with open(path, newline="") as f:
        for row in csv.DictReader(f):
            if row["pid"] != str(winpid):
                continue
            base = int(row["base"], 16)
            regions.append((base, base + int(row["size"]), row["label"], row["type"],
                            int(row["allocation_base"], 16), row["state"]))
    regions.sort()
    return regions


def vmas(pid):
    """(start, end, path, rss_kb) of every mapping with resident pages."""
    result = []
    current = None
    with open("/proc/%d/smaps" % pid) as f:
        for line in f:
            fields = line.split()
            if "-" in fields[0] and not fields[0].endswith(":"):
                start, end = (int(x, 16) for x in fields[0].split("-"))
                current = [start, end, fields[5] if len(fields) > 5 else "", 0]
                result.append(current)
            elif fields[0] == "Rss:":
                current[3] = int(fields[1])
    return [v for v in result if v[3] > 0]


def rollup(pid):
    values = {}
    with open("/proc/%d/smaps_rollup" % pid) as f:
        for line in f:
            fields = line.split()
            if fields[0].endswith(":") and len(fields) >= 2 and fields[1].isdigit():
                values[fields[0][:-1]] = int(fields[1])
    return values


def private_pages(pid, mappings):
    """Yields (address, path) of each present page that is not a shared file page."""
    with open("/proc/%d/pagemap" % pid, "rb") as pagemap:
        for start, end, path, _ in mappings:
            pagemap.seek(start // PAGE * 8)
            data = pagemap.read((end - start) // PAGE * 8)
            for i, (entry,) in enumerate(struct.iter_unpack("Q", data)):
                present = entry >> 63 & 1
                file_page = entry >> 61 & 1
                if present and not file_page:
                    yield start + i * PAGE, path


def main():
    pid, regions_csv, winpid, program = int(sys.argv[1]), sys.argv[2], int(sys.argv[3]), sys.argv[4].lower()
    program_file = sys.argv[5] if len(sys.argv) > 5 else None
    regions = windows_regions(regions_csv, winpid)
    starts = [r[0] for r in regions]

    image_base = min((r[0] for r in regions if r[2].lower() == "image " + program), default=0)
    sections = pe_sections(program_file) if program_file else []
    section_kb = {}

    def section_of(address):
        rva = address - image_base
        for name, start, size, _ in sections:
            if start <= rva < start + max(size, 1):
                return name
        return "headers"

    # Allocations by base: their total size and their regions' sizes.
    allocations = {}
    for base, end, label, kind, alloc, state in regions:
        allocations.setdefault(alloc, []).append((base, end, label))
    stack_allocs = {a for a, parts in allocations.items() if any(p[2].startswith("stack ") for p in parts)}
    stack_sizes = {parts[-1][1] - a for a, parts in allocations.items() if a in stack_allocs}
    stack_ends = {allocations[a][-1][1] for a in stack_allocs}

    def kind_of_allocation(alloc):
        parts = allocations.get(alloc, [])
        size = parts[-1][1] - alloc if parts else 0
        sizes = [p[1] - p[0] for p in parts]
        # Wine keeps the stack of the last thread that ended until the next
        # one ends (a thread cannot free the stack it runs on).
        if len(parts) == 3 and sizes[:2] == [PAGE, PAGE] and size in stack_sizes:
            stack_ends.add(parts[-1][1])
            return "ended_thread_stack"
        return None

    for alloc in list(allocations):
        kind_of_allocation(alloc)

    def is_kernel_stack(alloc):
        # Wine puts each thread's 1 MiB stack for its own (Linux-side) calls
        # right after the thread's stack.
        parts = allocations.get(alloc, [])
        return alloc in stack_ends and parts and parts[-1][1] - alloc == 1024 * 1024

    kb = {}
    stacks = {}
    images = {}
    others = {}

    def add(key, amount=4):
        kb[key] = kb.get(key, 0) + amount

    for address, path in private_pages(pid, vmas(pid)):
        i = bisect.bisect_right(starts, address) - 1
        if i >= 0 and address < regions[i][1]:
            base, end, label, kind, alloc, _ = regions[i]
            if label.startswith("stack "):
                add("stacks")
                stacks[label] = stacks.get(label, 0) + 4
            elif label.startswith("teb "):
                add("tebs")
            elif label == "heap":
                add("process_heap")
            elif label.lower() == "image " + program:
                name = section_of(address)
                add("program_image_debug" if name.startswith(".debug") else "program_image_code_data")
                section_kb[name] = section_kb.get(name, 0) + 4
            elif label.startswith("image "):
                add("system_images")
                images[label[6:]] = images.get(label[6:], 0) + 4
            elif kind_of_allocation(alloc) == "ended_thread_stack":
                add("ended_thread_stack")
            elif is_kernel_stack(alloc):
                add("wine_kernel_stacks")
            elif kind == "mapped":
                add("windows_mapped")
            else:
                add("windows_other_private")
                others[alloc] = others.get(alloc, 0) + 4
        elif path == "[heap]":
            add("wine_unix_malloc")
        elif path.startswith("/"):
            add("wine_unix_libraries")
        else:
            add("wine_unix_other")

    stack_reserves = {}
    for base, end, label, kind, alloc, state in regions:
        if label.startswith("stack "):
            stack_reserves[label] = stack_reserves.get(label, 0) + (end - base)

    total = sum(v for k, v in kb.items())
    roll = rollup(pid)
    print("pagemap_private_kb=%d" % total)
    print("smaps_private_dirty_kb=%d" % roll.get("Private_Dirty", 0))
    print("smaps_rss_kb=%d" % roll.get("Rss", 0))
    print("smaps_anon_huge_kb=%d" % roll.get("AnonHugePages", 0))
    for key in ("stacks", "ended_thread_stack", "wine_kernel_stacks", "tebs", "process_heap", "windows_other_private",
                "windows_mapped", "program_image_code_data", "program_image_debug", "system_images",
                "wine_unix_malloc", "wine_unix_libraries", "wine_unix_other"):
        print("%s_kb=%d" % (key, kb.get(key, 0)))
    print("threads=%d" % len(stack_reserves))
    print("stack_reserve_kb=%s" % " ".join(str(v // 1024) for v in sorted(stack_reserves.values())))
    print("stack_private_kb=%s" % " ".join(str(stacks.get(k, 0)) for k in sorted(stack_reserves)))

    def module_of(address):
        i = bisect.bisect_right(starts, address) - 1
        if i >= 0 and address < regions[i][1] and regions[i][2].startswith("image "):
            return regions[i][2][6:]
        return "?"

    begun = []
    for label in sorted(stack_reserves):
        words = label.split()
        start = next((w[6:] for w in words if w.startswith("start=")), None)
        begun.append("%s:%s" % (words[1], module_of(int(start, 16)) if start else "?"))
    print("thread_starts=%s" % " ".join(begun))
    print("sections=%s" % " ".join(
        "%s:%dKB:%s" % (name, section_kb.get(name, 0), "zero-filled" if offset == 0 else "copied" if offset % PAGE else "file-mapped")
        for name, _, _, offset in sections if section_kb.get(name, 0) or name.startswith(".debug")))
    top = sorted(images.items(), key=lambda x: -x[1])[:6]
    print("images_top=%s" % " ".join("%s:%d" % x for x in top))
    top = sorted(others.items(), key=lambda x: -x[1])[:6]
    print("other_private_top=%s" % " ".join("0x%x:%d" % x for x in top))


if __name__ == "__main__":
    main()
