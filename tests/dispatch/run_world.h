// A practice for the daily-run tests: the search tests' configuration,
// agenda ("AG1") and patient databases (embedded Firebird files or MariaDB
// schemas), the
// settings row IMP_CLINICA, config.ini pointing the SMS gateway at an
// in-process maker simulator, and the settings object over all of it.
#pragma once

#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string>

#include "dispatch/tdm1.h"
#include "maker-sim/maker_simulator.h"
#include "net/curl_http_client.h"
#include "platform/registry_file.h"
#include "search_world.h"
#include "support/test_run_parts.h"

namespace oxsms::testing::run {

// Friday 16 May 2025 and the days around it.
platform::TDateTime Day(int day_of_may);

class RunWorld {
 public:
  // `ftp_limit`: config.ini's batch threshold; `backend`: the server of the
  // configuration, agenda and patient databases.
  explicit RunWorld(long ftp_limit = 50, Backend backend = Backend::kFirebird);
  ~RunWorld();

  // The settings object, created at the first call (config.ini must be
  // complete by then). The account is "demo"/"demo" with alias "STUDIO".
  // Its HTTP client does the run's bookkeeping while it waits, as in the
  // service.
  dispatch::TDM1& Dm();
  // The HTTP client of the settings objects made from now on, instead of the
  // guarded libcurl client; must outlive them.
  void UseClient(net::HttpClient& client) { client_ = &client; }
  // Frees the settings object; the next Dm() makes a new one.
  void ResetDm();
  // Runs InviaDaServizio at 11:00 of `day`.
  void RunOn(platform::TDateTime day);

  void Patient(const std::string& badge, const std::string& surname,
               std::optional<std::string> mobile, std::optional<std::string> email = std::nullopt,
               std::optional<platform::TDateTime> born = std::nullopt);
  void Appointment(const std::string& badge, platform::TDateTime day, int hour,
                   std::optional<std::string> fee = std::nullopt);

  // A column of the agenda row of `badge`, read anew (nullopt = NULL).
  std::optional<std::string> AgendaColumn(const std::string& badge, const std::string& column);

  // Simulator: accepted SMS, recorded requests of one path, control calls.
  nlohmann::json AcceptedSms();
  nlohmann::json Requests(const std::string& path);
  // The "invalue" object of a recorded gateway request.
  static nlohmann::json Invalue(const nlohmann::json& request);
  void SimPost(const std::string& path, const nlohmann::json& body);
  void SetCredit(long long credit, int codice = 0);

  std::string LogText() const { return world.LogText(); }

  search::SearchWorld world;
  makersim::MakerSimulator sim;

 private:
  net::HttpResponse SimCall(const std::string& method, const std::string& path,
                            const std::string& body = "");

  // Reset before the simulator stops: an open keep-alive connection would
  // hold its worker thread until the idle timeout.
  std::unique_ptr<net::CurlHttpClient> http_ = std::make_unique<net::CurlHttpClient>();
  platform::FileRegistry registry_{world.dir / "registry.ini"};
  TestRunParts parts_{world.log};
  net::HttpClient* client_ = nullptr;
  net::HttpClient* dm_http_ = nullptr;  // the client of dm_
  std::unique_ptr<dispatch::TDM1> dm_;
};

}  // namespace oxsms::testing::run
