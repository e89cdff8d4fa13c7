#include "maker-sim/request_log.h"

#include "maker-sim/sim_json.h"
#include "platform/base64.h"
#include "platform/code_page.h"

namespace oxsms::makersim {

using nlohmann::json;

void RequestLog::Record(const httplib::Request& request) {
  RecordedRequest record;
  record.seq = next_seq_++;
  record.time = UtcTimestamp();
  record.method = request.method;
  record.path = request.path;
  auto question = request.target.find('?');
  if (question != std::string::npos) record.query = request.target.substr(question + 1);
  for (const auto& [name, value] : request.headers) {
    // httplib adds these itself; they were not on the wire.
    if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
        name == "LOCAL_PORT") {
      continue;
    }
    record.headers.emplace_back(name, value);
  }
  record.body = request.body;
  record.remote_port = request.remote_port;
  records_.push_back(std::move(record));
}

void RequestLog::Clear() { records_.clear(); }

json RequestLog::ToJson(const std::string& path) const {
  json list = json::array();
  for (const auto& record : records_) {
    if (!path.empty() && record.path != path) continue;
    json headers = json::object();
    for (const auto& [name, value] : record.headers) {
      headers[name] = platform::ToUtf8Lenient(value);
    }
    list.push_back({{"seq", record.seq},
                    {"time", record.time},
                    {"method", record.method},
                    {"path", record.path},
                    {"query", record.query},
                    {"headers", headers},
                    {"body", platform::ToUtf8Lenient(record.body)},
                    {"body_base64", platform::EncodeBase64Mime(record.body)},
                    {"remote_port", record.remote_port}});
  }
  return list;
}

}  // namespace oxsms::makersim
