#include "net/host_guard.h"

#include "net/maker_rest.h"

namespace oxsms::net {

HostGuardHttpClient::HostGuardHttpClient(HttpClient& inner, std::chrono::seconds pause,
                                         const platform::MonotonicClock& elapsed)
    : inner_(inner), pause_(pause), elapsed_(elapsed) {}

HttpResponse HostGuardHttpClient::Send(const HttpRequest& request) {
  const std::string host = HostOf(request.url);
  const auto paused = paused_.find(host);
  if (paused != paused_.end()) {
    if (elapsed_.Now() < paused->second.until) {
      throw HttpError("Servizio non raggiungibile: " + host +
                      " (richieste sospese dopo l'errore: " + paused->second.message + ")");
    }
    paused_.erase(paused);
  }
  try {
    return inner_.Send(request);
  } catch (const HttpError& e) {
    paused_[host] = Failure{elapsed_.Now() + pause_, e.what()};
    throw;
  }
}

}  // namespace oxsms::net
