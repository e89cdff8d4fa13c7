#include "service/oxsms_service.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "support/manual_clock.h"
#include "support/manual_monotonic_clock.h"
#include "support/temp_dir.h"

namespace oxsms::service {
namespace {

using platform::EncodeDate;
using platform::EncodeTime;
using platform::TDateTime;

// Records what the host asks of the settings object.
struct FakeOrchestrator : SendOrchestrator {
  TDateTime send_time = EncodeTime(11, 0, 0);
  bool settings_available = true;
  bool fail_read = false;
  bool fail_run = false;
  bool as_service = false;
  int reads = 0;
  int runs = 0;
  bool ReadConnect() override {
    ++reads;
    if (fail_read) throw std::runtime_error("Impossibile aprire il database di configurazione");
    return settings_available;
  }
  TDateTime OrarioInvio() const override { return send_time; }
  void SetAsService(bool v) override { as_service = v; }
  void InviaDaServizio() override {
    ++runs;
    if (fail_run) throw std::runtime_error("errore nell'invio");
  }
  bool run_failed = false;
  bool LastRunFailed() const override { return run_failed; }
};

class TOXSMSTest : public ::testing::Test {
 protected:
  TOXSMSTest() {
    service_ = std::make_unique<TOXSMS>(log_, clock_, elapsed_, [this] {
      ++created_;
      if (fail_create_) throw std::runtime_error("Creazione impossibile");
      auto dm = std::make_unique<FakeOrchestrator>();
      dm->send_time = send_time_;
      dm1_ = dm.get();
      return dm;
    });
  }

  void TickAt(int h, int m, int s, int ms = 0) {
    clock_.Set(EncodeDate(2026, 12, 7) + EncodeTime(h, m, s, ms));
    service_->TimerTick();
  }
  std::string Log() { return testing::ReadFile(dir_ / "sms.log"); }
  int Runs() { return dm1_ ? dm1_->runs : 0; }

  testing::TempDir dir_;
  testing::ManualClock clock_;
  testing::ManualMonotonicClock elapsed_;
  platform::ActivityLog log_{dir_ / "sms.log", clock_};
  TDateTime send_time_ = EncodeTime(11, 0, 0);
  bool fail_create_ = false;
  int created_ = 0;
  FakeOrchestrator* dm1_ = nullptr;
  std::unique_ptr<TOXSMS> service_;
};

TEST_F(TOXSMSTest, SendWindowIsClosedAtBothEnds) {
  TickAt(10, 59, 0);
  TickAt(11, 5, 1);
  EXPECT_EQ(Runs(), 0);
  TickAt(11, 2, 0);
  EXPECT_EQ(Runs(), 1);
  TickAt(11, 5, 0, 0);
  EXPECT_EQ(Runs(), 2);
  TickAt(11, 0, 0, 0);
  EXPECT_EQ(Runs(), 3);
}

TEST_F(TOXSMSTest, WindowNearMidnightDoesNotReachIntoTheNextDay) {
  send_time_ = EncodeTime(23, 57, 0);
  TickAt(0, 1, 0);
  EXPECT_EQ(Runs(), 0);
  TickAt(23, 59, 59);
  EXPECT_EQ(Runs(), 1);
}

TEST_F(TOXSMSTest, FirstTickCreatesDM1OnceAndMarksItAsService) {
  TickAt(9, 0, 0);
  TickAt(9, 5, 0);
  EXPECT_EQ(created_, 1);
  ASSERT_NE(dm1_, nullptr);
  EXPECT_TRUE(dm1_->as_service);
  EXPECT_EQ(dm1_->reads, 2);
}

TEST_F(TOXSMSTest, RunInTheWindowIsBracketedByItsLogLinesAndAnEscapedErrorIsLogged) {
  TickAt(9, 0, 0);
  dm1_->fail_run = true;
  TickAt(11, 1, 0);
  EXPECT_EQ(Runs(), 1);
  const std::string log = Log();
  const auto start = log.find("Avvio ricerca messaggi\r\n");
  const auto error = log.find("Invio interrotto da un errore: errore nell'invio\r\n");
  const auto end = log.find("Fine ricerca messaggi\r\n");
  ASSERT_NE(error, std::string::npos) << log;
  EXPECT_LT(start, error);
  EXPECT_LT(error, end);
  EXPECT_NE(end, std::string::npos);
}

TEST_F(TOXSMSTest, UnavailableSettingsSkipTheTickSilently) {
  TickAt(9, 0, 0);
  dm1_->settings_available = false;
  TickAt(11, 1, 0);
  EXPECT_EQ(Runs(), 0);
  EXPECT_EQ(Log(), "");
}

TEST_F(TOXSMSTest, SettingsErrorsAreLoggedAndTheNextTickTriesAgain) {
  fail_create_ = true;
  TickAt(11, 1, 0);
  EXPECT_NE(Log().find("Creazione impossibile"), std::string::npos);
  EXPECT_EQ(dm1_, nullptr);
  fail_create_ = false;
  TickAt(11, 2, 0);
  EXPECT_EQ(created_, 2);
  EXPECT_EQ(Runs(), 1);
  dm1_->fail_read = true;
  TickAt(11, 3, 0);
  EXPECT_EQ(Runs(), 1);
  EXPECT_NE(Log().find("Impossibile aprire il database di configurazione"), std::string::npos);
}

TEST_F(TOXSMSTest, StopWhileIdleWritesOneStoppedLine) {
  std::thread stopper([this] { service_->Control(ControlRequest::kStop); });
  service_->ServiceExecute();
  stopper.join();
  const std::string log = Log();
  EXPECT_EQ(log.find("Service started"), 0u);
  const auto first = log.find("Service stopped");
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(log.find("Service stopped", first + 1), std::string::npos) << log;
}

TEST_F(TOXSMSTest, PauseAndContinueSwitchTheTimerAndLogOneLineEach) {
  service_->Control(ControlRequest::kPause);
  service_->Control(ControlRequest::kContinue);
  service_->Control(ControlRequest::kPause);
  service_->Control(ControlRequest::kStop);
  service_->ServiceExecute();
  EXPECT_FALSE(service_->TimerEnabled());
  const std::string log = Log();
  // started, stopped (pause), started (continue), stopped (pause), stopped
  size_t started = 0, stopped = 0;
  for (size_t p = log.find("Service started"); p != std::string::npos;
       p = log.find("Service started", p + 1))
    ++started;
  for (size_t p = log.find("Service stopped"); p != std::string::npos;
       p = log.find("Service stopped", p + 1))
    ++stopped;
  EXPECT_EQ(started, 2u);
  EXPECT_EQ(stopped, 3u);
}

}  // namespace
}  // namespace oxsms::service
