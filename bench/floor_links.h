// The links of the floor: a confirmation link or a payment link stored in
// the agenda is taken as it is; a new one costs exactly its one request to
// the simulated service, sent with the given HTTP client. Nothing is written
// back to the databases (the floor counts only what makes the messages).
#pragma once

#include <string>
#include <unordered_map>

#include "channels/link_services.h"
#include "channels/confirmation_request.h"
#include "net/http_client.h"
#include "net/maker_rest.h"

namespace oxsms::bench {

struct FloorLinkConfig {
  net::MakerService link_service;     // confirmation links
  net::MakerService payment_service;  // payment links
  channels::ConfermaAccount account;
  std::string stripe_account;  // the account the payments credit
};

class FloorLinks : public channels::LinkServices {
 public:
  // `stored_codes` by StoredCodeKey; new codes are added to it, so a second
  // channel reuses the link the first one created.
  FloorLinks(FloorLinkConfig config, net::HttpClient& http,
             std::unordered_map<std::string, std::string>& stored_codes)
      : config_(std::move(config)), http_(http), stored_codes_(stored_codes) {}

  std::string OttieniLink(practice::TLineRec& rec) override;
  void SalvaLinkBreve(const practice::TLineRec&) override {}
  std::string OttieniLinkPag(practice::TLineRec& rec, practice::TPazRec& paz) override;
  void SalvaLinkPag(const practice::TLineRec&, const practice::TPazRec&) override {}

  int created() const { return created_; }

 private:
  FloorLinkConfig config_;
  net::HttpClient& http_;
  std::unordered_map<std::string, std::string>& stored_codes_;
  int created_ = 0;
};

}  // namespace oxsms::bench
