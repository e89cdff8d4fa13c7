// The records shared by the whole send path: one recipient line, the payment
// data of one recipient line, and the batch lists that the searches fill and
// the senders read (kept at the same index).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace oxsms::practice {

// Fixed-point currency with four decimals (1 unit = 0.0001).
using Currency = int64_t;

struct TLineRec {
  std::string Cognome;
  std::string Nome;
  std::string Paese;
  std::string Cellulare;
  std::string Data;
  std::string Ora;
  std::string id_agenda;
  std::string id_web;
  std::string link_conferma;
  bool link_exist = false;
};

struct TPazRec {
  std::string badge;
  Currency incasso = 0;
  std::string id_linkpag;
  std::string link_pag;
  int32_t idxFilePaz = 100;  // 100 = no patient database assigned yet
  std::string fileguid;
};

// The batch lists of the send-orchestration object.
struct RecipientLists {
  std::vector<std::string> listCell;       // recipient lines
  std::vector<std::string> list_id_agenda;  // agenda line per recipient line ("same" = contact of the line before)
  std::vector<std::string> listScartiSms;   // left-out patients with the reason (interactive use only)
  std::vector<TPazRec> listCellIncassi;     // payment record per recipient line

  void Clear() {
    listCell.clear();
    list_id_agenda.clear();
    listScartiSms.clear();
    listCellIncassi.clear();
  }
};

}  // namespace oxsms::practice
