// The simulated REST email service: takes one message per request
// ("/invio_email/invia_messaggio_email.json"), decodes its base64 subject,
// body and attachments, and shows what it took ("/_sim/emails").
#pragma once

#include <string>
#include <vector>

#include "maker-sim/sim_core.h"
#include "maker-sim/sim_service.h"

namespace oxsms::makersim {

struct ReceivedAttachment {
  std::string member;  // "file_allegati_base64", "file_allegati_base64_1", ...
  std::string nome;
  std::string bytes;   // decoded
};

// One message the service took, texts decoded (UTF-8).
struct ReceivedEmail {
  long long id = 0;
  std::string email_mittente, nominativo_mittente;
  std::string email_destinatario, nominativo_destinatario;
  std::string email_bcc;
  std::string oggetto, body;
  std::string file_allegati;
  std::vector<ReceivedAttachment> allegati;
  std::string time;
};

class EmailService : public SimService {
 public:
  explicit EmailService(SimCore& core) : core_(core) {}

  std::string Name() const override { return "email"; }
  void AddRoutes(Router& router) override;
  // {"refused_recipients": ["a@b.it", ...]}: addresses the service refuses
  // with codice 11, as a real service refuses a mailbox it knows is gone.
  void LoadState(const nlohmann::json& section) override;
  nlohmann::json SaveState() const override;

 private:
  void Send(const httplib::Request& request, httplib::Response& response);
  nlohmann::json EmailsJson() const;

  SimCore& core_;
  std::vector<std::string> refused_;
  std::vector<ReceivedEmail> emails_;
  long long next_id_ = 1;
};

}  // namespace oxsms::makersim
