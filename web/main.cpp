// Qorvelin in a browser: the page plays the show, and when it is over offers to play it again,
// each time with a new deal. It asks nothing of anyone and keeps nothing between runs.

#include "show/form1.h"
#include "stage/stage_trace.h"
#include "web/page.h"
#include "web/web_stage.h"

namespace {

// Tells a page that measures the show what the stage does.
class TraceToThePage : public StageTrace {
  public:
    void LoadReturned() override { PageTrace("load", 0); }
    void TickStarted() override { PageTrace("tick", 0); }
    void PumpReturned(bool waitedForAnEvent) override {
        PageTrace("pump", waitedForAnEvent ? 1 : 0);
    }
    void SleepReturned() override { PageTrace("sleep", 0); }
    void FirstPainted() override {}
};

}  // namespace

int main() {
    if (PagePrepare() == 0) {
        return 1;
    }
    TraceToThePage trace;
    for (;;) {
        WebStage stage;
        stage.SetTrace(&trace);
        Form1 form(stage);
        if (!stage.Play(form)) {
            return 1;
        }
        PageTrace("end", 0);
        PageOfferReplay();
    }
}
