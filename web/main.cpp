// Qorvelin in a browser: the page plays the show, and when it is over offers to play it again,
// each time with a new deal. It asks nothing of anyone and keeps nothing between runs.

#include "show/form1.h"
#include "stage/stage_trace.h"
#include "web/page.h"
#include "web/web_stage.h"

namespace {

// Tells a page that measures the show what the stage does.
class PageTrace : public StageTrace {
  public:
    void LoadReturned() override { page::Trace("load", 0); }
    void TickStarted() override { page::Trace("tick", 0); }
    void PumpReturned(bool waitedForAnEvent) override { page::Trace("pump", waitedForAnEvent); }
    void SleepReturned() override { page::Trace("sleep", 0); }
    void FirstPainted() override {}
};

}  // namespace

int main() {
    if (!page::Prepare()) {
        return 1;
    }
    PageTrace trace;
    for (;;) {
        WebStage stage;
        stage.SetTrace(&trace);
        Form1 form(stage);
        if (!stage.Play(form)) {
            return 1;
        }
        page::Trace("end", 0);
        page::OfferReplay();
    }
}
