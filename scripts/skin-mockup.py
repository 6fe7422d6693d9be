#!/usr/bin/env python3
"""Draws how the skin lays out each window, from the built skin's own
descriptions, pictures and the template texts, so that sizes and spacing can
be judged before (and apart from) the real program. An approximation: the
real controls draw text with GDI, not with this renderer.

    scripts/skin-mockup.py [build folder]  -> <build>/screenshots/skin-mockup.png
"""
import base64
import json
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, 'build')
IMAGES = os.path.join(BUILD, 'skin-build', 'stage', '100')
FRAME_L, FRAME_T = 1, 34          # the main frame's left and top parts
FONT_PX = {9: 12, 10: 12, 11: 13.3, 12: 16, 13: 16, 14: 17.3}


def load(name):
    with open(os.path.join(IMAGES, name + '.json'), encoding='utf-8') as f:
        return {e['id']: e for e in json.load(f)['skin_info_list']}


def template_texts():
    """Control id name -> default text, from the resource script."""
    texts = {}
    rc = open(os.path.join(ROOT, 'agent', 'ui', 'res', 'PavoAgent.rc'), encoding='utf-8').read()
    for m in re.finditer(r'^\s+\w+\s+"([^"]*)",\s*(\w+),', rc, re.M):
        texts.setdefault(m.group(2), m.group(1))
    return texts


TEXTS = template_texts()
TEXTS['IDC_EDIT_NOTICE_TITLE'] = '서비스 점검 안내'
TEXTS['IDC_EDIT_COMPANY'] = 'DemoCorp'
TEXTS['IDC_EDIT_USER_ID'] = 'DEMO-0001'
TEXTS['IDC_EDIT_USER_NAME'] = 'Demo Customer'
RIGHT = {'IDC_LINK_REMOTE_ASSIST', 'IDC_STATIC_PHONE_LABEL'}
CENTRE = {'IDC_STATIC_MSG_TEXT', 'IDC_STATIC_VERSION', 'IDC_STATIC_ABOUT_INFO'}


def data_uri(name):
    path = os.path.join(IMAGES, name)
    kind = 'gif' if name.endswith('.gif') else 'png'
    with open(path, 'rb') as f:
        return 'data:image/%s;base64,%s' % (kind, base64.b64encode(f.read()).decode())


def size_of(name):
    out = subprocess.check_output(['/usr/bin/identify', '-format', '%w %h\n', os.path.join(IMAGES, name)])
    w, h = out.decode().split('\n')[0].split()
    return int(w), int(h)


def image(x, y, w, h, name, frame=None, frames=4):
    """A picture (or one frame of a strip) stretched into a rectangle."""
    iw, ih = size_of(name)
    name_uri = data_uri(name)
    if frame is None:
        return '<image x="%s" y="%s" width="%s" height="%s" preserveAspectRatio="none" href="%s"/>' % (
            x, y, w, h, name_uri)
    fw = iw // frames
    return ('<svg x="%s" y="%s" width="%s" height="%s" viewBox="%d 0 %d %d" preserveAspectRatio="none">'
            '<image width="%d" height="%d" href="%s"/></svg>') % (x, y, w, h, fw * frame, fw, ih, iw, ih, name_uri)


def text(x, y, w, h, s, e, align='left', colour=None, valign='middle'):
    if not s:
        return ''
    px = FONT_PX.get(e.get('font_size', 9), 12)
    weight = 'bold' if e.get('text_bold') else 'normal'
    colour = colour or e.get('text_color', '111827')
    anchor = {'left': 'start', 'centre': 'middle', 'right': 'end'}[align]
    tx = {'left': x, 'centre': x + w / 2, 'right': x + w}[align]
    lines = s.split('\\n')
    line_h = px * 1.25
    top = y + (h - line_h * len(lines)) / 2 if valign == 'middle' else y
    out = []
    for i, line in enumerate(lines):
        out.append('<text x="%.1f" y="%.1f" font-family="NanumGothic" font-size="%.1f" font-weight="%s" '
                   'fill="#%s" text-anchor="%s">%s</text>' % (
                       tx, top + line_h * (i + 0.8), px, weight, colour, anchor,
                       line.replace('&', '&amp;').replace('<', '&lt;')))
    return ''.join(out)


def control(cid, e, ox=0, oy=0, visible_only=True, state=0, text_override=None):
    if visible_only and not e.get('visible'):
        return ''
    x, y, w, h = ox + e['left'], oy + e['top'], e['width'], e['height']
    s = text_override if text_override is not None else TEXTS.get(cid, '')
    out = []
    if 'bg_color' in e and not cid.startswith('IDC_EDIT') and not cid.startswith('IDC_HTML'):
        out.append('<rect x="%s" y="%s" width="%s" height="%s" fill="#%s"/>' % (x, y, w, h, e['bg_color']))
    if cid.startswith(('IDC_BUTTON', 'IDOK', 'IDC_CHECK')):
        strip = e.get('bg_image') or e.get('bg_image1')
        out.append(image(x, y, w, h, strip, frame=state))
        colour = e.get('text_color_normal') if state == 0 else e.get('text_color_disable')
        if cid.startswith('IDC_CHECK'):
            out.append(text(x + e.get('text_margin_x', 0), y, w, h, s, e, colour=colour))
        else:
            out.append(text(x, y, w, h, s, e, 'centre', colour))
    elif cid.startswith(('IDC_EDIT', 'IDC_HTML')):
        border = e.get('nc_info', {}).get('nc_border_color', '999999')
        out.append('<rect x="%s" y="%s" width="%s" height="%s" fill="#%s" stroke="#%s"/>' % (
            x + 0.5, y + 0.5, w - 1, h - 1, e.get('bg_color', 'FFFFFF'), border))
        if cid.startswith('IDC_HTML'):
            out.append(text(x + 8, y + 8, w - 16, 20, '12월 20일 02:00부터 04:00까지 서버 점검이 있습니다.', e,
                            valign='top'))
        else:
            edit = next((p for p in e.get('child_pos', []) if p['part'] == 'edit'), None)
            if edit:
                hint = not s
                out.append(text(x + 1 + edit['left'], y + 1 + edit['top'], edit['width'], edit['height'],
                                e.get('hint_text', '') if hint else s, e,
                                colour=e.get('hint_text_color') if hint else None))
    elif cid == 'IDC_LOADING_GIF':
        out.append(image(x, y, w, h, e['bg_image']))
    else:
        if 'bg_image' in e:
            iw, ih = size_of(e['bg_image'])
            out.append(image(x, y, iw, ih, e['bg_image']))
        if cid == 'IDC_LINK_REMOTE_ASSIST':
            out.append(text(x, y, w, h, s, e, 'right', e.get('link_color_normal')))
        else:
            out.append(text(x, y, w, h, s, e, 'right' if cid in RIGHT else 'centre' if cid in CENTRE else 'left'))
    return ''.join(out)


def dialog_background(e, w, h, ox=0, oy=0, main_l=FRAME_L, main_t=FRAME_T):
    out = []
    if 'bg_color' in e:
        out.append('<rect x="%s" y="%s" width="%s" height="%s" fill="#%s"/>' % (ox, oy, w, h, e['bg_color']))
    if 'bg_image' in e:
        out.append(image(ox, oy, w, h, e['bg_image']))
    for s in e.get('shape_items', []):
        if s.get('type') == 'ractangle':
            out.append('<rect x="%s" y="%s" width="%s" height="%s" fill="#%s" stroke="#%s" stroke-width="1"/>' % (
                ox + s['left'] + 0.5, oy + s['top'] + 0.5, max(s['width'] - 1, 0), max(s['height'] - 1, 0),
                s['bg_color'], s['border_color']))
    for a in e.get('additional_bg_images', []):
        out.append(image(ox + a['left'] - main_l, oy + a['top'] - main_t, a['width'], a['height'], a['image']))
    return ''.join(out)


def frame(e, caption, sub='', user_enabled=True):
    """The skinned frame of a bordered dialog; returns (svg, client origin)."""
    nc, W, H = e['nc_info'], e['width'], e['height']
    top = nc['nc_part_top']
    _, T = size_of(top)
    L = size_of(nc['nc_part_left'])[0]
    out = [image(0, 0, W, T, top), image(0, T, L, H - T, nc['nc_part_left']),
           image(W - L, T, L, H - T, nc['nc_part_right']), image(0, H - 1, W, 1, nc['nc_part_bottom'])]
    x = W - L
    buttons = [('nc_part_btn_close', 0), ('nc_part_btn_minimize', 0)]
    if nc.get('sys_menu_type') == 1:
        buttons.append(('nc_part_btn_custom', 0 if user_enabled else 3))
    else:
        buttons = buttons[:1]
    for key, state in buttons:
        if key in nc:
            bw, bh = size_of(nc[key])
            x -= bw // 4
            out.append(image(x, (T - bh) // 2, bw // 4, bh, nc[key], frame=state))
    tx = nc.get('nc_txt_margin_x', 0) + 8
    if nc.get('nc_icon_visible', True):
        out.append(image(nc.get('nc_icon_margin_x', 7), (T - 16) // 2, 16, 16, 'app_logo_56.png'))
        tx = nc.get('nc_icon_margin_x', 7) + 16 + nc.get('nc_txt_margin_x', 0) + 4
    e2 = {'font_size': 9, 'text_bold': nc.get('nc_txt_bold')}
    out.append(text(tx, 0, 300, T, caption, e2, colour=nc.get('nc_txt_color')))
    if sub:
        out.append(text(x - 308, 0, 300, T, sub, {'font_size': 9}, 'right', nc.get('nc_sub_txt_color')))
    return ''.join(out), L, T


def screen(w, h, body):
    return '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d">%s</svg>' % (w, h, body)


def main_window(page_svg, user_enabled, sub=''):
    main = load('IDD_PAVOAGENT_DIALOG')['IDD_PAVOAGENT_DIALOG']
    f, L, T = frame(main, main['text'], sub, user_enabled)
    return screen(main['width'], main['height'], f + '<g transform="translate(%d %d)">%s</g>' % (L, T, page_svg))


def page(name, skip=(), overrides=None, states=None):
    d = load(name)
    own = d[name]
    out = [dialog_background(own, own['width'], own['height'])]
    for cid, e in d.items():
        if cid != name and cid not in skip:
            e = dict(e, **(overrides or {}).get(cid, {}))
            out.append(control(cid, e, state=(states or {}).get(cid, 0)))
    return ''.join(out)


def login(error=None):
    overrides = {}
    extra = ''
    if error:
        d = load('IDD_LOGIN_VIEW')
        err = d['IDC_STATIC_LOGIN_ERROR']
        n = error.count('\\n') + 1
        shift = n * err['height'] + 4
        for cid in ('IDC_BUTTON_LOGIN', 'IDC_CHECK_AUTO_LOGIN', 'IDC_LINK_REMOTE_ASSIST'):
            overrides[cid] = {'top': d[cid]['top'] + shift}
        extra = control('IDC_STATIC_LOGIN_ERROR', dict(err, height=n * err['height'], visible=True),
                        text_override=error)
        TEXTS['IDC_EDIT_ID'] = 'demo'
        TEXTS['IDC_EDIT_PASSWORD'] = '********'
    svg = page('IDD_LOGIN_VIEW', overrides=overrides,
               states={'IDC_BUTTON_LOGIN': 0 if error else 3}) + extra
    TEXTS['IDC_EDIT_ID'] = ''
    TEXTS['IDC_EDIT_PASSWORD'] = ''
    return svg


def product_list():
    d = load('IDD_INSPECTION_VIEW')
    lst = d['IDC_LIST_PRODUCTS']
    rowd = load('IDD_PRODUCT_ITEM_VIEW')
    row = rowd['IDD_PRODUCT_ITEM_VIEW']
    out = [page('IDD_INSPECTION_VIEW')]
    gx = gy = 10
    cw, ch = row['width'] + gx, row['height'] + gy
    groups = [('설치 가능', [('PAVO_GUARD', 'Pavo Guard'), ('PAVO_SYNC', 'Pavo Sync')]),
              ('설치 완료', [('PAVO_VIEWER', 'Pavo Viewer')])]
    top = 20
    head = {'font_size': lst['font_size'], 'text_bold': lst.get('text_bold'), 'text_color': lst['text_color']}
    ox, oy = lst['left'], lst['top']
    for title, items in groups:
        out.append(text(ox + gx + 29, oy + top, 100, 19, title, head))
        bottom = 0
        for i, (code, name) in enumerate(items):
            c, r = i % 3, i // 3
            x = ox + 29 + c * (cw + gx) + gx // 2
            y = oy + top + 26 + r * (ch + gy) + gy // 2
            out.append(dialog_background(row, row['width'], row['height'], x, y))
            icon = dict(rowd['IDC_STATIC_PRODUCT_ICON'], bg_image='product_icons/%s.png' % code)
            out.append(control('IDC_STATIC_PRODUCT_ICON', icon, x, y))
            out.append(control('IDC_STATIC_PRODUCT_NAME', rowd['IDC_STATIC_PRODUCT_NAME'], x, y, text_override=name))
            if title == '설치 가능':
                out.append(control('IDC_BUTTON_INSTALL', rowd['IDC_BUTTON_INSTALL'], x, y))
            bottom = max(bottom, top + 26 + (r + 1) * (ch + gy))
        top = bottom + 20 + 20
    return ''.join(out)


def message(kind):
    d = load('IDD_MESSAGE_VIEW')
    out = [product_list(), dialog_background(d['IDD_MESSAGE_VIEW'], 680, 440)]
    shown = {'question': ['IDC_LOADING_GIF', 'IDC_BUTTON_MSG_CONTINUE', 'IDC_BUTTON_MSG_CANCEL'],
             'success': ['IDC_STATIC_MSG_SUCCESS', 'IDC_BUTTON_MSG_OK']}[kind]
    texts = {'question': '소프트웨어 설치 간 재부팅이 필요할 수 있습니다.\\n설치를 계속 진행하시겠습니까?',
             'success': '소프트웨어 설치가 완료되었습니다.'}
    for cid in shown + ['IDC_STATIC_MSG_TEXT']:
        out.append(control(cid, d[cid], visible_only=False,
                           text_override=texts[kind] if cid == 'IDC_STATIC_MSG_TEXT' else None))
    return ''.join(out)


def popup(name):
    d = load(name)
    own = d[name]
    f, L, T = frame(own, TEXTS.get(name, {'IDD_NOTICE_VIEW': '공지사항', 'IDD_ABOUTBOX': '프로그램 정보'}.get(name, '')),
                    '2026-12-01 09:00:00' if name == 'IDD_NOTICE_VIEW' else '')
    body = [dialog_background(own, own['width'] - 2 * L, own['height'] - T - 1, main_l=L, main_t=T)]
    for cid, e in d.items():
        if cid != name:
            body.append(control(cid, e))
    return screen(own['width'], own['height'], f + '<g transform="translate(%d %d)">%s</g>' % (L, T, ''.join(body)))


def render(svg, png):
    with tempfile.NamedTemporaryFile('w', suffix='.svg', delete=False, encoding='utf-8') as f:
        f.write(svg)
    subprocess.check_call(['rsvg-convert', '-o', png, f.name])
    os.unlink(f.name)


def main():
    out_dir = os.path.join(BUILD, 'screenshots')
    os.makedirs(out_dir, exist_ok=True)
    work = tempfile.mkdtemp()
    shots = [
        ('1-login', main_window(login(), False)),
        ('2-login-error', main_window(login('아이디 또는 비밀번호를 확인해 주세요.'), False)),
        ('3-products', main_window(product_list(), True, '테스트 모드 동작중')),
        ('4-question', main_window(message('question'), True)),
        ('5-success', main_window(message('success'), True)),
        ('6-notice', popup('IDD_NOTICE_VIEW')),
        ('7-userinfo', popup('IDD_USERINFO_VIEW')),
        ('8-about', popup('IDD_ABOUTBOX')),
    ]
    pngs = []
    for name, svg in shots:
        png = os.path.join(work, name + '.png')
        render(svg, png)
        pngs.append(png)
    sheet = os.path.join(out_dir, 'skin-mockup.png')
    subprocess.check_call(['/usr/bin/montage', '-background', '#94A3B8', '-geometry', '+12+12', '-tile', '2x']
                          + pngs + [sheet])
    print(sheet)


if __name__ == '__main__':
    main()
