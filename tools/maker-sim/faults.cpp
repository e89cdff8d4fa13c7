#include "maker-sim/faults.h"

#include <algorithm>
#include <stdexcept>

#include "maker-sim/sim_json.h"

namespace oxsms::makersim {
namespace {

struct KindName {
  FaultKind kind;
  const char* name;
};
constexpr KindName kKinds[] = {{FaultKind::kDelay, "delay"},     {FaultKind::kHttp500, "http500"},
                               {FaultKind::kEmpty, "empty"},     {FaultKind::kNonJson, "nonjson"},
                               {FaultKind::kRefuse, "refuse"},   {FaultKind::kRedirect, "redirect"},
                               {FaultKind::kTrickle, "trickle"},   {FaultKind::kReply, "reply"}};

}  // namespace

Fault Fault::FromJson(const nlohmann::json& value) {
  if (!value.is_object()) throw BadRequest("il guasto deve essere un oggetto JSON");
  Fault fault;
  fault.path = value.value("path", "");
  if (fault.path.empty()) throw BadRequest("guasto senza \"path\"");
  std::string kind = value.value("kind", "");
  auto found = std::find_if(std::begin(kKinds), std::end(kKinds),
                            [&](const KindName& k) { return kind == k.name; });
  if (found == std::end(kKinds)) throw BadRequest("tipo di guasto sconosciuto: " + kind);
  fault.kind = found->kind;
  fault.ms = value.value("ms", 0);
  fault.message = value.value("message", "");
  fault.times = value.value("times", 0);
  fault.location = value.value("location", "");
  fault.status = value.value("status", 302);
  if ((fault.kind == FaultKind::kDelay || fault.kind == FaultKind::kTrickle) && fault.ms <= 0) {
    throw BadRequest("guasto \"" + kind + "\" senza \"ms\" positivo");
  }
  if (fault.kind == FaultKind::kRedirect &&
      (fault.location.empty() || fault.status < 300 || fault.status > 399)) {
    throw BadRequest("guasto \"redirect\" senza \"location\" o con \"status\" non 3xx");
  }
  if (fault.kind == FaultKind::kReply && fault.message.empty()) {
    throw BadRequest("guasto \"reply\" senza \"message\"");
  }
  if (fault.times < 0) throw BadRequest("\"times\" negativo");
  return fault;
}

nlohmann::json Fault::ToJson() const {
  const char* name = "";
  for (const auto& k : kKinds) {
    if (k.kind == kind) name = k.name;
  }
  return {{"path", path}, {"kind", name},         {"ms", ms},         {"message", message},
          {"times", times}, {"location", location}, {"status", status}};
}

void FaultList::Clear(const std::string& path) {
  if (path.empty()) {
    faults_.clear();
    return;
  }
  std::erase_if(faults_, [&](const Fault& f) { return f.path == path; });
}

std::optional<Fault> FaultList::Take(const std::string& path) {
  auto it = std::find_if(faults_.begin(), faults_.end(),
                         [&](const Fault& f) { return f.path == path || f.path == "*"; });
  if (it == faults_.end()) return std::nullopt;
  Fault fault = *it;
  if (it->times > 0 && --it->times == 0) faults_.erase(it);
  return fault;
}

nlohmann::json FaultList::ToJson() const {
  nlohmann::json list = nlohmann::json::array();
  for (const auto& fault : faults_) list.push_back(fault.ToJson());
  return list;
}

}  // namespace oxsms::makersim
