#include "maker-sim/sim_accounts.h"

#include <nlohmann/json.hpp>

namespace oxsms::makersim {

AccountCheck AccountsOf(const SimService& sms) {
  return [&sms](const std::string& user, const std::string& pwd) -> std::optional<std::string> {
    const nlohmann::json state = sms.SaveState();
    const auto accounts = state.find("accounts");
    if (accounts == state.end() || !accounts->is_array()) return "Utente non riconosciuto";
    for (const auto& account : *accounts) {
      if (account.value("user", "") != user) continue;
      if (account.value("pwd", "") != pwd) return "Password errata";
      if (account.value("codice", 0) != 0) {
        const std::string message = account.value("message", "");
        return message.empty() ? "Utente non abilitato" : message;
      }
      return std::nullopt;
    }
    return "Utente non riconosciuto";
  };
}

}  // namespace oxsms::makersim
