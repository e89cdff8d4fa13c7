#include "app/send_orchestrator_factory.h"

#include <chrono>
#include <memory>

#include "app/process_context.h"
#include "app/service_parts.h"
#include "dispatch/tdm1.h"

namespace oxsms::app {
namespace {

class TDM1Orchestrator : public service::SendOrchestrator {
 public:
  TDM1Orchestrator(std::shared_ptr<ProcessContext> context, platform::ActivityLog& log,
                   const platform::Clock& clock, bool test_mode, platform::RunJournal* journal,
                   bool force, dispatch::RunRecorder* report, platform::DesktopHandoff* desktop)
      : context_(std::move(context)),
        parts_(*context_, log, desktop),
        dm1_(context_->catalogue, log, clock, *context_->registry, parts_.Parts(report)),
        test_mode_(test_mode) {
    if (test_mode_) dm1_.CBTest = true;
    dm1_.UseJournal(journal, force);
    // While the HTTP client waits for a reply, the run's search object
    // writes its queued link bookkeeping.
    parts_.http.SetWaitingWork([this] { return dm1_.WriteQueuedBookkeeping(); });
  }
  ~TDM1Orchestrator() override { parts_.http.SetWaitingWork({}); }
  TDM1Orchestrator(const TDM1Orchestrator&) = delete;
  TDM1Orchestrator& operator=(const TDM1Orchestrator&) = delete;

  bool ReadConnect() override {
    const bool available = dm1_.ReadConnect();
    if (test_mode_) dm1_.CBTest = true;
    return available;
  }
  platform::TDateTime OrarioInvio() const override { return dm1_.OrarioInvio; }
  void SetAsService(bool as_service) override { dm1_.AsService = as_service; }
  void InviaDaServizio() override { dm1_.InviaDaServizio(); }
  bool LastRunFailed() const override { return dm1_.LastRun().Failed(); }
  bool KeepsJournal() const override { return dm1_.KeepsJournal(); }

 private:
  std::shared_ptr<ProcessContext> context_;
  ServiceParts parts_;
  dispatch::TDM1 dm1_;
  bool test_mode_;
};

}  // namespace

service::SendOrchestratorFactory MakeSendOrchestratorFactory(
    const platform::HomeFolder& home, platform::ActivityLog& log, const platform::Clock& clock,
    bool test_mode, platform::RunJournal* journal, bool force, dispatch::RunRecorder* report,
    platform::DesktopHandoff* desktop) {
  auto context = std::make_shared<ProcessContext>(home, log);
  return [context, &log, &clock, test_mode, journal, force, report,
          desktop]() -> std::unique_ptr<service::SendOrchestrator> {
    return std::make_unique<TDM1Orchestrator>(context, log, clock, test_mode, journal, force,
                                              report, desktop);
  };
}

}  // namespace oxsms::app
