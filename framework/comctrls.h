#pragma once
// Status bar, progress bar and page control.
#include "framework/control.h"

#include <string>
#include <vector>

namespace sv {

struct TStatusPanel {
    std::string Text;
    int Width = 50;
};

class TStatusBar : public TCustomControl {
public:
    explicit TStatusBar(TComponent* owner);
    std::string ClassName() const override { return "TStatusBar"; }
    bool SimplePanel() const { return simplePanel_; }
    void SetSimplePanel(bool v);
    // Kept while the simple panel is hidden, and shown again with it.
    const std::string& SimpleText() const { return simpleText_; }
    void SetSimpleText(const std::string& text);
    std::vector<TStatusPanel>& Panels() { return panels_; }
    void PanelsChanged() { Invalidate(); }

protected:
    void Paint() override;

private:
    bool simplePanel_ = false;
    std::string simpleText_;
    std::vector<TStatusPanel> panels_;
};

class TProgressBar : public TWinControl {
public:
    explicit TProgressBar(TComponent* owner);
    std::string ClassName() const override { return "TProgressBar"; }
    int Min() const { return min_; }
    int Max() const { return max_; }
    void SetMin(int v);
    void SetMax(int v);
    // Clamped to Min..Max.
    int Position() const { return position_; }
    void SetPosition(int v);
    int Step() const { return step_; }
    void SetStep(int v) { step_ = v; }
    void StepIt() { SetPosition(position_ + step_); }
    void StepBy(int delta) { SetPosition(position_ + delta); }
    bool Smooth() const { return smooth_; }
    void SetSmooth(bool v) { smooth_ = v; }

protected:
    QWidget* CreateWidget() override;
    void InitWidget() override;
    bool FrameworkPaints() const override { return false; }

private:
    void Apply();
    int min_ = 0, max_ = 100, position_ = 0, step_ = 10;
    bool smooth_ = false;
};

class TPageControl;

class TTabSheet : public TCustomControl {
public:
    explicit TTabSheet(TComponent* owner);
    ~TTabSheet() override;
    std::string ClassName() const override { return "TTabSheet"; }
    TPageControl* PageControl() const { return pageControl_; }
    void SetPageControl(TPageControl* pc);
    int PageIndex() const;
    bool TabVisible() const { return tabVisible_; }
    void SetTabVisible(bool v);

protected:
    void Dispatch(TMessage& message) override;

private:
    friend class TPageControl;
    TPageControl* pageControl_ = nullptr;
    bool tabVisible_ = true;
};

class TPageControl : public TCustomControl {
public:
    explicit TPageControl(TComponent* owner);
    ~TPageControl() override;
    std::string ClassName() const override { return "TPageControl"; }
    int PageCount() const { return static_cast<int>(pages_.size()); }
    TTabSheet* Pages(int index) const { return pages_.at(index); }
    TTabSheet* ActivePage() const { return active_; }
    void SetActivePage(TTabSheet* page);
    int ActivePageIndex() const;
    void SetActivePageIndex(int index);
    // The tab under a client point, -1 if none.
    int TabAt(TPoint p) const;
    TRect TabRect(int index) const;

    TNotifyEvent OnChange;
    std::function<void(TObject* sender, bool& allowChange)> OnChanging;

protected:
    void Paint() override;
    void AdjustClientRect(TRect& rect) const override;
    void Dispatch(TMessage& message) override;

private:
    friend class TTabSheet;
    void InsertPage(TTabSheet* page);
    void RemovePage(TTabSheet* page);
    void ShowActive();
    int TabHeight() const;
    std::vector<TTabSheet*> pages_;
    TTabSheet* active_ = nullptr;
};

} // namespace sv
