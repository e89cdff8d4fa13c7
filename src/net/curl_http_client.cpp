#include "net/curl_http_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <utility>

#include "net/curl_error_text.h"
#include "net/header_rules.h"
#include "net/maker_rest.h"
#include "net/redirect_rules.h"

namespace oxsms::net {
namespace {

void InitCurlOnce() {
  static std::once_flag once;
  static CURLcode result = CURLE_OK;
  std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
  if (result != CURLE_OK) {
    throw HttpError(std::string("Inizializzazione della libreria HTTP non riuscita: ") +
                    curl_easy_strerror(result));
  }
}

struct HeaderList {
  curl_slist* list = nullptr;
  ~HeaderList() { curl_slist_free_all(list); }
  void Add(const std::string& line) {
    curl_slist* grown = curl_slist_append(list, line.c_str());
    if (grown == nullptr) throw HttpError("Memoria insufficiente per la richiesta HTTP");
    list = grown;
  }
};

// The header lines as curl takes them. "Name;" is curl's way of sending a
// header with an empty value ("Name:" would remove it).
void BuildHeaders(const HttpRequest& request, HeaderList& headers) {
  for (const auto& [name, value] : request.headers) {
    CheckHeaderName(name);
    std::string clean = CleanHeaderValue(name, value);
    headers.Add(clean.empty() ? name + ";" : name + ": " + clean);
  }
  // curl would otherwise wait for "100 Continue" before larger bodies.
  headers.Add("Expect:");
}

struct ReplySink {
  std::string body;
  std::size_t limit = 0;
  bool overflow = false;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<ReplySink*>(user);
  size_t bytes = size * count;
  if (sink->body.size() + bytes > sink->limit) {
    sink->overflow = true;
    return 0;  // makes curl stop with CURLE_WRITE_ERROR
  }
  sink->body.append(data, bytes);
  return bytes;
}

// Gives a transfer up once no byte has moved either way for `limit`. curl's
// own low-speed check averages over several seconds, so a server that took a
// request and then said nothing would be waited for that much longer.
//
// Time the thread spends on waiting work is not the server's silence: a step
// that waits for a row locked at the desk may hold the request before it has
// gone out. Up to `limit` of such time in a request is not counted; past
// that the silence counts again, so that endless work cannot keep a silent
// server waited for.
struct StallWatch {
  std::chrono::steady_clock::duration limit;
  curl_off_t moved = -1;
  std::chrono::steady_clock::time_point since;
  bool stalled = false;
  std::chrono::steady_clock::duration discounted{};

  void Discount(std::chrono::steady_clock::duration busy) {
    busy = std::min(busy, limit - discounted);
    if (busy <= busy.zero()) return;
    since += busy;
    discounted += busy;
  }
};

int WatchProgress(void* watch_data, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) {
  auto* watch = static_cast<StallWatch*>(watch_data);
  const auto now = std::chrono::steady_clock::now();
  if (received + sent != watch->moved) {
    watch->moved = received + sent;
    watch->since = now;
    return 0;
  }
  if (now - watch->since < watch->limit) return 0;
  watch->stalled = true;
  return 1;  // makes curl stop with CURLE_ABORTED_BY_CALLBACK
}

// Whether the request's body went out whole and nothing of a reply came.
bool SentWhole(CURL* curl, const HttpRequest& request) {
  curl_off_t sent = 0;
  curl_off_t received = 0;
  long header_bytes = 0;
  curl_easy_getinfo(curl, CURLINFO_SIZE_UPLOAD_T, &sent);
  curl_easy_getinfo(curl, CURLINFO_SIZE_DOWNLOAD_T, &received);
  curl_easy_getinfo(curl, CURLINFO_HEADER_SIZE, &header_bytes);
  const curl_off_t expected = static_cast<curl_off_t>(request.body.size());
  return sent >= expected && received == 0 && header_bytes == 0 &&
         (expected > 0 || request.method == "POST");
}

void SetMethod(CURL* curl, const HttpRequest& request) {
  if (request.method == "POST") {
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
  } else if (request.method == "GET") {
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  } else if (request.method == "HEAD") {
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  } else {
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.method.c_str());
  }
  if (request.method == "POST" || !request.body.empty()) {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
  }
}

}  // namespace

// The transfer runs in a multi handle of its own, which keeps the open
// connections between calls and lets the caller's thread work while it waits.
struct CurlHttpClient::Handle {
  CURL* curl = nullptr;
  CURLM* multi = nullptr;
  Handle() : curl(curl_easy_init()), multi(curl_multi_init()) {
    if (curl == nullptr || multi == nullptr) {
      Free();
      throw HttpError("Impossibile creare il client HTTP");
    }
  }
  ~Handle() { Free(); }
  void Free() {
    if (multi != nullptr) curl_multi_cleanup(multi);
    if (curl != nullptr) curl_easy_cleanup(curl);
  }
};

namespace {

// Runs the transfer of `curl` to its end, doing a step of `work` whenever
// the transfer has nothing to do yet.
// One step of the waiting work; false when there is no more to do. Work that
// raises is dropped: broken work must not cost the request.
bool WorkStep(const WaitingWork& work, platform::ActivityLog* log) {
  try {
    return work();
  } catch (const std::exception& e) {
    // The worker's boundary: the work promised not to raise.
    if (log != nullptr) {
      log->WriteLog("Lavoro durante l'attesa della risposta interrotto: " + platform::Describe(e));
    }
  } catch (...) {
    if (log != nullptr) log->WriteLog("Lavoro durante l'attesa della risposta interrotto");
  }
  return false;
}

CURLcode Perform(CURL* curl, CURLM* multi, const WaitingWork& work, StallWatch& watch,
                 platform::ActivityLog* log) {
  if (curl_multi_add_handle(multi, curl) != CURLM_OK) return CURLE_FAILED_INIT;
  // Removed whatever happens, or the next call could not add it again.
  struct Added {
    CURLM* multi;
    CURL* curl;
    ~Added() { curl_multi_remove_handle(multi, curl); }
  } added{multi, curl};
  bool work_left = static_cast<bool>(work);
  int running = 1;
  CURLMcode status = CURLM_OK;
  while (status == CURLM_OK) {
    status = curl_multi_perform(multi, &running);
    if (status != CURLM_OK || running == 0) break;
    if (work_left) {
      const auto began = std::chrono::steady_clock::now();
      work_left = WorkStep(work, log);
      watch.Discount(std::chrono::steady_clock::now() - began);
      continue;
    }
    // Returns on activity, or when curl's own timers (time-outs) are due.
    status = curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
  }
  CURLcode result = status == CURLM_OK ? CURLE_OK : CURLE_RECV_ERROR;
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == curl) {
      result = message->data.result;
    }
  }
  return result;
}

}  // namespace

void CurlHttpClient::SetWaitingWork(WaitingWork work) {
  std::lock_guard<std::mutex> lock(mutex_);
  work_ = std::move(work);
}

CurlHttpClient::CurlHttpClient(CurlOptions options) : options_(std::move(options)) {
  InitCurlOnce();
  handle_ = std::make_unique<Handle>();
}

CurlHttpClient::~CurlHttpClient() = default;

HttpResponse CurlHttpClient::Send(const HttpRequest& request) {
  HeaderList headers;
  BuildHeaders(request, headers);

  std::lock_guard<std::mutex> lock(mutex_);
  std::string url = request.url;
  for (long hops = 0;; ++hops) {
    std::string location;
    HttpResponse response;
    try {
      response = Transfer(request, url, headers.list, location);
    } catch (HttpError& e) {
      e.AddContext("host " + HostOf(url));
      throw;
    }
    if (location.empty()) return response;
    CheckRedirect(request.method, url, location, response.status);
    if (hops >= options_.max_redirects) {
      throw HttpError("Troppi reindirizzamenti (" + RedactUrl(request.url) + ")");
    }
    url = std::move(location);
  }
}

HttpResponse CurlHttpClient::Transfer(const HttpRequest& request, const std::string& url,
                                      curl_slist* headers, std::string& location) {
  CURL* curl = handle_->curl;
  // Reset drops the options of the last call but keeps the open connections,
  // the DNS cache and the TLS sessions, which is what reuse is for.
  curl_easy_reset(curl);

  char error_buffer[CURL_ERROR_SIZE] = {};
  ReplySink sink;
  sink.limit = options_.max_body_bytes;

  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error_buffer);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  // Redirects are looked at here, one at a time (see CheckRedirect).
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.connect_timeout.count()));
  std::chrono::seconds stall = std::max(request.stall_timeout, std::chrono::seconds(1));
  if (options_.max_stall.count() > 0) stall = std::min(stall, options_.max_stall);
  StallWatch watch{stall, -1, std::chrono::steady_clock::now(), false};
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &WatchProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &watch);
  if (request.total_timeout.count() > 0) {
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(request.total_timeout.count()));
  }
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!options_.ca_file.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, options_.ca_file.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &WriteBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
  SetMethod(curl, request);

  CURLcode code = Perform(curl, handle_->multi, work_, watch, options_.log);
  // The handle must not keep pointers into this call's locals.
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
  if (code != CURLE_OK) {
    if (sink.overflow) throw HttpError("Risposta troppo grande da " + RedactUrl(url));
    std::string detail = error_buffer;
    if (watch.stalled) {
      code = CURLE_OPERATION_TIMEDOUT;
      detail = "nessun dato per " + std::to_string(stall.count()) + " s";
    }
    throw HttpError(DescribeCurlFailure(code, detail, url),
                    code == CURLE_OPERATION_TIMEDOUT && SentWhole(curl, request));
  }

  HttpResponse response;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
  const char* content_type = nullptr;
  curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &content_type);
  if (content_type != nullptr) response.content_type = content_type;
  const char* redirect = nullptr;
  curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &redirect);
  if (redirect != nullptr) location = redirect;
  response.body = std::move(sink.body);
  return response;
}

}  // namespace oxsms::net
