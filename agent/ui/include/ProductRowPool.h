#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// The product list's rows, kept from one filling to the next: a filling
// detaches every pooled row, then creates only the rows still missing. The
// pool never shrinks. UI thread only.
template <class Row>
class ProductRowPool {
public:
    // Makes the pool hold at least `count` rows. `detach(Row&)` runs for every
    // pooled row first; `create()` returns a new row (null when it could not
    // be made, which ends the growth). Returns how many rows were created.
    template <class Detach, class Create>
    size_t Prepare(size_t count, Detach detach, Create create)
    {
        for (const auto& row : rows_) detach(*row);
        size_t created = 0;
        while (rows_.size() < count) {
            std::shared_ptr<Row> row = create();
            if (!row) break;
            rows_.push_back(std::move(row));
            ++created;
        }
        return created;
    }

    const std::vector<std::shared_ptr<Row>>& Rows() const { return rows_; }
    size_t Size() const { return rows_.size(); }
    void Clear() { rows_.clear(); }

private:
    std::vector<std::shared_ptr<Row>> rows_;
};

// The list group of a product: installed products under "설치 완료"
// (state 1), the others under "설치 가능" (state 0).
struct ProductGroup {
    int state = 0;
    const wchar_t* textKey = L"";
};
inline ProductGroup GroupForProduct(bool installed)
{
    return installed ? ProductGroup{1, L"설치 완료"} : ProductGroup{0, L"설치 가능"};
}
