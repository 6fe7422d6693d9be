#pragma once

namespace Lumen {

// How the HTML control shows its current page: in the HTML view once the
// view has a document, or as text. Decided afresh for every page: a view
// that reported it cannot make documents (no HTML engine) shows every page
// as text at once; a view that is only slow gets each new page first, and
// the time limit turns just that page into text until its document arrives.
// Needs no Win32.
class HtmlPageChoice {
public:
    enum class Show { Waiting, Html, Text };
    enum class Reason { None, NoView, EngineFailed, TimedOut };

    // A new page. `engineFailed`: the view has reported that it cannot
    // make a document.
    void NewPage(bool viewExists, bool documentReady, bool engineFailed);
    // The page was written into a document that now exists.
    void DocumentReady();
    // The view reported that it cannot make a document.
    void EngineFailed();
    // The time limit of the current page has passed.
    void TimedOut();

    Show Current() const { return show_; }
    Reason TextReason() const { return reason_; }

private:
    void Set(Show show, Reason reason)
    {
        show_ = show;
        reason_ = reason;
    }

    Show show_ = Show::Waiting;
    Reason reason_ = Reason::None;
};

}  // namespace Lumen
