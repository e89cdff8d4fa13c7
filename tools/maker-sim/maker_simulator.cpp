#include "maker-sim/maker_simulator.h"

#include <httplib.h>

#include <chrono>
#include <map>
#include <memory>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "maker-sim/cloud_service.h"
#include "maker-sim/email_service.h"
#include "maker-sim/link_service.h"
#include "maker-sim/payment_service.h"
#include "maker-sim/sim_core.h"
#include "maker-sim/sim_json.h"
#include "maker-sim/sim_service.h"
#include "maker-sim/sms_gateway_service.h"
#include "maker-sim/whatsapp_service.h"

namespace oxsms::makersim {

using nlohmann::json;

namespace {

constexpr const char* kControlPrefix = "/_sim/";

// Writes the reply a fault stands for. Returns false for a delay, after
// which the request is served normally.
bool ApplyFault(const Fault& fault, SimCore& core, httplib::Response& response) {
  switch (fault.kind) {
    case FaultKind::kDelay:
      core.Sleep(std::chrono::milliseconds(fault.ms));
      return false;
    case FaultKind::kHttp500:
      response.status = 500;
      response.set_content(fault.message.empty() ? "Errore interno del server" : fault.message,
                           "text/plain; charset=utf-8");
      return true;
    case FaultKind::kEmpty:
      response.status = 200;
      response.set_content("", "application/json");
      return true;
    case FaultKind::kNonJson:
      response.status = 200;
      response.set_content(fault.message.empty()
                               ? "<html><body><h1>Servizio non disponibile</h1></body></html>"
                               : fault.message,
                           "text/html; charset=utf-8");
      return true;
    case FaultKind::kRefuse:
      // The headers go out, then the connection closes before the body:
      // the client sees a transfer broken off.
      response.status = 200;
      response.set_chunked_content_provider(
          "application/json", [](size_t, httplib::DataSink&) { return false; });
      return true;
    case FaultKind::kRedirect:
      response.status = fault.status;
      response.set_header("Location", fault.location);
      return true;
    case FaultKind::kTrickle:
      return false;
    case FaultKind::kReply:
      response.status = 200;
      response.set_content(fault.message, "application/json");
      return true;
  }
  return false;
}

// The reply already written, sent again a byte every `pause`: a slow line
// that keeps moving.
void Trickle(SimCore& core, std::chrono::milliseconds pause, httplib::Response& response) {
  const std::string type = response.get_header_value("Content-Type");
  auto body = std::make_shared<std::string>(std::move(response.body));
  response.body.clear();
  response.set_chunked_content_provider(
      type, [&core, pause, body](size_t offset, httplib::DataSink& sink) {
        if (offset >= body->size()) {
          sink.done();
          return true;
        }
        core.Sleep(pause);
        return sink.write(body->data() + offset, 1);
      });
}

}  // namespace

struct MakerSimulator::Impl : Router {
  using Key = std::pair<std::string, std::string>;  // method, path

  SimCore core;
  std::vector<std::unique_ptr<SimService>> services;
  std::map<Key, Handler> endpoints;
  std::map<Key, Handler> controls;
  json initial_state;
  httplib::Server server;
  std::thread thread;
  std::string host;
  int port = 0;
  bool started = false;

  void AddEndpoint(const std::string& method, const std::string& path, Handler handler) override {
    endpoints[{method, path}] = std::move(handler);
  }
  void AddControl(const std::string& method, const std::string& path, Handler handler) override {
    controls[{method, path}] = std::move(handler);
  }

  // Lock held.
  void LoadStateLocked(const json& document) {
    if (!document.is_object()) throw BadRequest("lo stato deve essere un oggetto JSON");
    core.LoadState(document);
    for (auto& service : services) {
      auto it = document.find(service->Name());
      service->LoadState(it == document.end() ? json() : *it);
    }
  }

  json SaveStateLocked() const {
    json document = json::object();
    core.SaveState(document);
    for (const auto& service : services) document[service->Name()] = service->SaveState();
    return document;
  }

  // The route of the longest registered path ending in "/" that is a prefix
  // of `path`, or endpoints.end().
  std::map<Key, Handler>::iterator FindPrefixEndpoint(const std::string& method, const std::string& path) {
    auto best = endpoints.end();
    for (auto it = endpoints.begin(); it != endpoints.end(); ++it) {
      const auto& [route_method, prefix] = it->first;
      if (route_method != method || prefix.empty() || prefix.back() != '/') continue;
      if (!path.starts_with(prefix)) continue;
      if (best == endpoints.end() || prefix.size() > best->first.second.size()) best = it;
    }
    return best;
  }

  void AddCoreControls();
  void Dispatch(const httplib::Request& request, httplib::Response& response);
  void ServeControl(const httplib::Request& request, httplib::Response& response);
  void ServeEndpoint(const httplib::Request& request, httplib::Response& response);
};

void MakerSimulator::Impl::AddCoreControls() {
  AddControl("GET", "/_sim/requests", [this](const httplib::Request& rq, httplib::Response& rs) {
    ReplyJson(rs, core.log().ToJson(rq.get_param_value("path")));
  });
  AddControl("DELETE", "/_sim/requests", [this](const httplib::Request&, httplib::Response& rs) {
    core.log().Clear();
    ReplyJson(rs, json::array());
  });
  AddControl("POST", "/_sim/reset", [this](const httplib::Request&, httplib::Response& rs) {
    LoadStateLocked(initial_state);
    ReplyJson(rs, SaveStateLocked());
  });
  AddControl("GET", "/_sim/state", [this](const httplib::Request&, httplib::Response& rs) {
    ReplyJson(rs, SaveStateLocked());
  });
  AddControl("POST", "/_sim/state", [this](const httplib::Request& rq, httplib::Response& rs) {
    json document = ParseJsonObjectBody(rq.body);
    json previous = SaveStateLocked();
    try {
      LoadStateLocked(document);
    } catch (...) {
      LoadStateLocked(previous);
      throw;
    }
    ReplyJson(rs, SaveStateLocked());
  });
  AddControl("GET", "/_sim/faults", [this](const httplib::Request&, httplib::Response& rs) {
    ReplyJson(rs, core.faults().ToJson());
  });
  AddControl("POST", "/_sim/faults", [this](const httplib::Request& rq, httplib::Response& rs) {
    core.faults().Add(Fault::FromJson(ParseJsonObjectBody(rq.body)));
    ReplyJson(rs, core.faults().ToJson());
  });
  AddControl("DELETE", "/_sim/faults", [this](const httplib::Request& rq, httplib::Response& rs) {
    core.faults().Clear(rq.get_param_value("path"));
    ReplyJson(rs, core.faults().ToJson());
  });
}

void MakerSimulator::Impl::Dispatch(const httplib::Request& request, httplib::Response& response) {
  try {
    if (request.path.starts_with(kControlPrefix)) {
      ServeControl(request, response);
    } else {
      ServeEndpoint(request, response);
    }
  } catch (const BadRequest& e) {  // a malformed request, state or fault
    ReplyJson(response, {{"error", e.what()}}, 400);
  } catch (const json::exception& e) {
    ReplyJson(response, {{"error", e.what()}}, 400);
  } catch (const std::exception& e) {
    // The handler's boundary: whatever else failed is the simulator's fault.
    ReplyJson(response,
              {{"error", std::string("errore del simulatore: ") + platform::Describe(e)}}, 500);
  }
}

void MakerSimulator::Impl::ServeControl(const httplib::Request& request, httplib::Response& response) {
  std::lock_guard<std::mutex> lock(core.mutex());
  auto it = controls.find({request.method, request.path});
  if (it == controls.end()) {
    ReplyJson(response, {{"error", "comando sconosciuto: " + request.method + " " + request.path}}, 404);
    return;
  }
  it->second(request, response);
}

void MakerSimulator::Impl::ServeEndpoint(const httplib::Request& request, httplib::Response& response) {
  std::optional<Fault> fault;
  {
    std::lock_guard<std::mutex> lock(core.mutex());
    core.log().Record(request);
    fault = core.faults().Take(request.path);
  }
  if (fault && ApplyFault(*fault, core, response)) return;

  std::lock_guard<std::mutex> lock(core.mutex());
  auto it = endpoints.find({request.method, request.path});
  if (it == endpoints.end()) it = FindPrefixEndpoint(request.method, request.path);
  if (it == endpoints.end()) {
    ReplyJson(response, {{"codice", 0}, {"response_message", "Risorsa non trovata: " + request.path}}, 404);
    return;
  }
  it->second(request, response);
  if (fault && fault->kind == FaultKind::kTrickle) {
    Trickle(core, std::chrono::milliseconds(fault->ms), response);
  }
}

MakerSimulator::MakerSimulator(json initial_state) : impl_(std::make_unique<Impl>()) {
  impl_->services.push_back(std::make_unique<SmsGatewayService>(impl_->core));
  const SimService& sms_accounts = *impl_->services.back();
  impl_->services.push_back(std::make_unique<LinkService>(impl_->core, AccountsOf(sms_accounts)));
  impl_->services.push_back(std::make_unique<WhatsAppService>(
      impl_->core, static_cast<SmsGatewayService&>(*impl_->services.front()).state()));
  impl_->services.push_back(std::make_unique<PaymentService>(impl_->core, AccountsOf(sms_accounts)));
  impl_->services.push_back(std::make_unique<EmailService>(impl_->core));
  impl_->services.push_back(std::make_unique<CloudService>(impl_->core));
  for (auto& service : impl_->services) service->AddRoutes(*impl_);
  impl_->AddCoreControls();
  impl_->initial_state = std::move(initial_state);
  std::lock_guard<std::mutex> lock(impl_->core.mutex());
  impl_->LoadStateLocked(impl_->initial_state);
}

MakerSimulator::~MakerSimulator() { Stop(); }

json MakerSimulator::DefaultState() {
  MakerSimulator defaults;
  return defaults.State();
}

void MakerSimulator::Start(int port, const std::string& host) {
  Impl& d = *impl_;
  if (d.port != 0) throw std::runtime_error("Simulatore già avviato");
  // Clients keep their connection open across calls; httplib's defaults
  // would close it after 5 requests and delay small replies (Nagle).
  d.server.set_keep_alive_max_count(1000000);
  d.server.set_keep_alive_timeout(2);
  d.server.set_tcp_nodelay(true);
  auto handler = [&d](const httplib::Request& rq, httplib::Response& rs) { d.Dispatch(rq, rs); };
  d.server.Get(".*", handler);
  d.server.Post(".*", handler);
  d.server.Put(".*", handler);
  d.server.Patch(".*", handler);
  d.server.Delete(".*", handler);
  // A request with neither Content-Length nor Transfer-Encoding has no body
  // (curl -X POST sends one such); httplib would wait for the connection to
  // close and then answer 400, so it is served here, before httplib reads.
  d.server.set_pre_routing_handler([&d](const httplib::Request& rq, httplib::Response& rs) {
    if (rq.has_header("Content-Length") || rq.has_header("Transfer-Encoding") ||
        rq.method == "GET" || rq.method == "HEAD") {
      return httplib::Server::HandlerResponse::Unhandled;
    }
    d.Dispatch(rq, rs);
    return httplib::Server::HandlerResponse::Handled;
  });

  int bound = port == 0 ? d.server.bind_to_any_port(host) : (d.server.bind_to_port(host, port) ? port : -1);
  if (bound <= 0) {
    throw std::runtime_error("Impossibile mettersi in ascolto su " + host + ":" + std::to_string(port));
  }
  d.host = host;
  d.port = bound;
  d.started = true;
  d.thread = std::thread([&d] { d.server.listen_after_bind(); });
  // stop() is ignored until the accept loop runs, so wait for it.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!d.server.is_running() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void MakerSimulator::Stop() {
  Impl& d = *impl_;
  if (!d.started) return;
  d.core.Shutdown();
  d.server.stop();
  if (d.thread.joinable()) d.thread.join();
  d.started = false;
}

int MakerSimulator::port() const { return impl_->port; }

std::string MakerSimulator::base_url() const {
  return "http://" + impl_->host + ":" + std::to_string(impl_->port);
}

json MakerSimulator::State() const {
  std::lock_guard<std::mutex> lock(impl_->core.mutex());
  return impl_->SaveStateLocked();
}

}  // namespace oxsms::makersim
