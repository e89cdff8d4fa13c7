#include "app/send_orchestrator_factory.h"

#include <memory>

#include "dispatch/tdm1.h"
#include "platform/ini_file.h"
#include "platform/installation.h"
#include "platform/registry.h"
#include "platform/registry_file.h"
#include "practice/catalogue_context.h"
#include "practice/cloud_credentials.h"

namespace oxsms::app {
namespace {

// What lives as long as the process: installation values, the cloud values
// shared by the database routines, the legacy registry.
struct ProcessContext {
  explicit ProcessContext(const platform::HomeFolder& home)
      : installation(platform::Installation::Load(platform::IniFile(home.File("config.ini")))),
#ifdef _WIN32
        registry(platform::MakeWindowsRegistry()),
#else
        registry(std::make_unique<platform::FileRegistry>(
            home.File(platform::FileRegistry::kDefaultFileName))),
#endif
        catalogue{home, installation, cloud, nullptr} {
  }
  platform::Installation installation;
  practice::CloudSession cloud;
  std::unique_ptr<platform::Registry> registry;
  practice::CatalogueContext catalogue;
};

class TDM1Orchestrator : public service::SendOrchestrator {
 public:
  TDM1Orchestrator(std::shared_ptr<ProcessContext> context, platform::ActivityLog& log,
                   const platform::Clock& clock, bool test_mode, platform::RunJournal* journal,
                   bool force)
      : context_(std::move(context)),
        dm1_(context_->catalogue, log, clock, *context_->registry),
        test_mode_(test_mode) {
    if (test_mode_) dm1_.CBTest = true;
    dm1_.UseJournal(journal, force);
  }

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
  dispatch::TDM1 dm1_;
  bool test_mode_;
};

}  // namespace

service::SendOrchestratorFactory MakeSendOrchestratorFactory(const platform::HomeFolder& home,
                                                             platform::ActivityLog& log,
                                                             const platform::Clock& clock,
                                                             bool test_mode,
                                                             platform::RunJournal* journal,
                                                             bool force) {
  auto context = std::make_shared<ProcessContext>(home);
  return [context, &log, &clock, test_mode, journal,
          force]() -> std::unique_ptr<service::SendOrchestrator> {
    return std::make_unique<TDM1Orchestrator>(context, log, clock, test_mode, journal, force);
  };
}

}  // namespace oxsms::app
