#include "HtmlPageChoice.h"

namespace Lumen {

void HtmlPageChoice::NewPage(bool viewExists, bool documentReady, bool engineFailed)
{
    if (!viewExists) {
        Set(Show::Text, Reason::NoView);
    } else if (documentReady) {
        Set(Show::Html, Reason::None);
    } else if (engineFailed) {
        Set(Show::Text, Reason::EngineFailed);
    } else {
        Set(Show::Waiting, Reason::None);
    }
}

void HtmlPageChoice::DocumentReady()
{
    if (reason_ != Reason::NoView) Set(Show::Html, Reason::None);
}

void HtmlPageChoice::EngineFailed()
{
    if (show_ != Show::Html && reason_ != Reason::NoView) Set(Show::Text, Reason::EngineFailed);
}

void HtmlPageChoice::TimedOut()
{
    if (show_ == Show::Waiting) Set(Show::Text, Reason::TimedOut);
}

}  // namespace Lumen
