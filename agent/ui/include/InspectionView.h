#pragma once

#include <memory>
#include <vector>

#include "IAgentCmdResponseHandler.h"
#include "IPage.h"
#include "ProductInfo.h"
#include "ProductItemView.h"
#include "ProductItemViewHandler.h"
#include "ProductRowPool.h"
#include "SkinButton.h"
#include "SkinCustomWindowList.h"
#include "SkinDialog.h"
#include "SkinStatic.h"

// The product list page: the organisation's products in two groups
// (available, installed), refresh, install one, install all.
// UI thread only.
class InspectionView : public Lumen::SkinDialog,
                       public IPage,
                       public IAgentCmdResponseHandler,
                       public ProductItemViewHandler {
public:
    InspectionView();

    // IPage
    HWND GetPageWindow() override { return GetHwnd(); }
    void OnPageShow() override;
    void OnPageHide() override {}
    void FocusFirstControl() override { ::SetFocus(remoteAssist_.GetHwnd()); }

    // Remote support, refresh, install all, then each shown product's
    // install button row by row from the top, each row from the left.
    std::vector<HWND> GetTabOrder() override;
    bool PreTranslateMessage(MSG* msg) override;

    // IAgentCmdResponseHandler
    void OnCommandStart(std::shared_ptr<AgentCmdBase> command) override;
    void OnCommandComplete(std::shared_ptr<AgentCmdBase> command) override;
    void OnCommandCancel() override {}

    // ProductItemViewHandler
    void OnInstallRequested(const PRODUCT_INFO& product) override;

    // Fills the list from `products`, reusing the pooled rows.
    void FillList(const std::vector<PRODUCT_INFO>& products);
    // Queues a product check whose answer fills the list.
    void Refresh();

    const ProductRowPool<ProductItemView>& GetRowPool() const { return pool_; }
    Lumen::SkinCustomWindowList& GetList() { return list_; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnDestroy() override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    void Queue(std::shared_ptr<AgentCmdBase> command);
    // Scrolls the list so that the row holding the focus is in sight.
    void ScrollToFocus();

    Lumen::SkinStatic description_;
    Lumen::SkinStatic title_;
    Lumen::SkinButton remoteAssist_;
    Lumen::SkinStatic phone_;
    Lumen::SkinButton refresh_;
    Lumen::SkinButton installAll_;
    Lumen::SkinCustomWindowList list_;
    ProductRowPool<ProductItemView> pool_;
};
