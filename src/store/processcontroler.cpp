#include "store/processcontroler.h"

#include "store/displaytimer.h"
#include "store/pageloader.h"

namespace bryndle {

ProcessControler::ProcessControler(std::shared_ptr<PageLoader> loader, DisplayTimer& timer)
    : loader_(std::move(loader)), timer_(timer) {}

void ProcessControler::schedule() {
    timer_.timerExec(PollInterval, [self = shared_from_this()] { self->run(); });
}

void ProcessControler::run() {
    if (loader_->isDisposed())
        return;
    if (loader_->isRunning()) {
        if (ticks_ % BlinkEvery == 0)
            loader_->tick();
        ++ticks_;
        schedule();
        return;
    }
    loader_->join();
    const std::string error = loader_->errorMessage();
    if (!error.empty())
        loader_->showError(error);
    else
        loader_->show();
}

} // namespace bryndle
