#include "email/tvelk_email.h"

#include <algorithm>

#include "email/builtin_messages.h"
#include "email/email_error.h"
#include "email/email_module_row.h"
#include "email/xml_text.h"

namespace oxsms::email {
namespace {

constexpr const char* kCatalogueRoot = "EmailTipiche";
constexpr const char* kRecord = "Record";
constexpr const char* kNoRow = "File di configurazione nullo";

std::vector<pugi::xml_node> ElementChildren(pugi::xml_node node) {
  std::vector<pugi::xml_node> children;
  for (pugi::xml_node child : node.children()) {
    if (child.type() == pugi::node_element) children.push_back(child);
  }
  return children;
}

// The field of a typical message named `name`, or nullptr.
std::string* FieldNamed(TypicalMessage& message, std::string_view name) {
  if (name == "C0") return &message.C0;
  if (name == "C1") return &message.C1;
  if (name == "C2") return &message.C2;
  return nullptr;
}

// Sets `flag` for the life of the object and puts back what it was.
class LoadingScope {
 public:
  explicit LoadingScope(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
  ~LoadingScope() { flag_ = previous_; }
  LoadingScope(const LoadingScope&) = delete;
  LoadingScope& operator=(const LoadingScope&) = delete;

 private:
  bool& flag_;
  bool previous_;
};

}  // namespace

TVelkEmail::TVelkEmail(practice::Connection& DS_IMP, TypicalMessages& DS_MSG,
                       platform::ActivityLog& log)
    : DS_IMP_(&DS_IMP), DS_MSG(DS_MSG), log_(log) {
  DS_MSG.SetEvents({[this] { OnAfterInsert(); }, [this] { OnSalvaDataset(); },
                    [this] { OnSalvaDataset(); }});
}

TVelkEmail::TVelkEmail(TypicalMessages& DS_MSG, platform::ActivityLog& log)
    : DS_IMP_(nullptr), DS_MSG(DS_MSG), log_(log) {
  DS_MSG.SetEvents({[this] { OnAfterInsert(); }, [this] { OnSalvaDataset(); },
                    [this] { OnSalvaDataset(); }});
}

TVelkEmail::~TVelkEmail() { DS_MSG.SetEvents({}); }

practice::Connection& TVelkEmail::Row() {
  if (DS_IMP_ == nullptr) throw EmailError(kNoRow);
  return *DS_IMP_;
}

void TVelkEmail::LeggiImpostazioni() {
  {
    LoadingScope loading(isLoading);
    usavelk = false;
    emailconfigurata = false;
    sendLocalClient = true;
    isNotificaDiario = false;
    isCBDocEmail = true;
    settings_document_.clear();
    listRubrica.clear();

    auto row = ReadEmailModuleRow(Row());
    if (!row) {
      InsertEmailModuleRow(Row());
      row.emplace();
    }
    settings_document_ = row->STRUCT_1;
    // A document that does not parse is ignored.
    if (const auto settings = ParseEmailSettings(settings_document_)) {
      if (settings->CBLocalClient) sendLocalClient = *settings->CBLocalClient;
      if (settings->CBNotificaDiario) isNotificaDiario = *settings->CBNotificaDiario;
      if (settings->CBDocEmail) isCBDocEmail = *settings->CBDocEmail;
      listRubrica = settings->RubricaEmail;
      if (settings->HasSmtpAccount()) {
        emailconfigurata = true;
        usavelk = false;
      }
    }
    LeggiDati();
  }
  isLoading = false;
  if (!emailconfigurata) {
    // No SMTP account of the practice: everything goes through the maker's
    // email service, whatever the stored switches say.
    emailconfigurata = true;
    isNotificaDiario = true;
    sendLocalClient = false;
    isCBDocEmail = true;
    usavelk = true;
  }
}

EmailSettings TVelkEmail::Settings() const {
  return ParseEmailSettings(settings_document_).value_or(EmailSettings{});
}

bool TVelkEmail::ReadCatalogue(pugi::xml_document& document) {
  const auto row = ReadEmailModuleRow(Row());
  if (!row || row->STRUCT_2.empty()) return false;
  return ParseXmlText(document, row->STRUCT_2);
}

void TVelkEmail::LeggiDati() {
  const auto row = ReadEmailModuleRow(Row());
  pugi::xml_document document;
  if (row && !row->STRUCT_2.empty() && !ParseXmlText(document, row->STRUCT_2)) {
    return;  // a catalogue that does not parse is neither loaded nor replaced
  }
  LoadingScope loading(isLoading);
  DS_MSG.Clear();
  const pugi::xml_node root = document.document_element();
  if (!root || ElementChildren(root).empty()) {
    StoreBuiltInCatalogue();
    for (const TypicalMessage& message : BuiltInCatalogue()) DS_MSG.Append(message);
  } else {
    for (pugi::xml_node record : root.children(kRecord)) ImportRecordFromNode(record, false);
  }
  DS_MSG.First();
}

void TVelkEmail::StoreBuiltInCatalogue() {
  pugi::xml_document document;
  pugi::xml_node root = document.append_child(kCatalogueRoot);
  for (const TypicalMessage& message : BuiltInCatalogue()) {
    pugi::xml_node record = root.append_child(kRecord);
    AppendTextElement(record, "C0", message.C0);
    AppendTextElement(record, "C1", message.C1);
    AppendTextElement(record, "C2", message.C2);
  }
  StoreMessages(XmlText(document));
}

void TVelkEmail::StoreMessages(const std::string& document) {
  practice::Connection& connection = Row();
  if (!ReadEmailModuleRow(connection)) InsertEmailModuleRow(connection);
  WriteMessagesColumn(connection, document);
}

void TVelkEmail::SalvaDati() {
  pugi::xml_document document;
  SalvaDatiNodeXml(document.append_child(kCatalogueRoot));
  StoreMessages(XmlText(document));
}

void TVelkEmail::SalvaDatiNodeXml(pugi::xml_node Anode) const {
  for (const TypicalMessage& message : DS_MSG.Rows()) {
    pugi::xml_node record = Anode.append_child(kRecord);
    if (!message.C0.empty()) AppendTextElement(record, "C0", message.C0);
    if (!message.C1.empty()) AppendTextElement(record, "C1", message.C1);
    if (!message.C2.empty()) AppendTextElement(record, "C2", message.C2);
  }
}

void TVelkEmail::ImportRecordFromNode(pugi::xml_node ANode, bool verifyexist) {
  TypicalMessage message;
  for (pugi::xml_node child : ElementChildren(ANode)) {
    if (std::string* field = FieldNamed(message, child.name())) *field = child.text().get();
  }
  if (verifyexist) {
    const auto& rows = DS_MSG.Rows();
    const bool exists = std::any_of(rows.begin(), rows.end(),
                                    [&](const TypicalMessage& row) { return row.C0 == message.C0; });
    if (exists) return;
  }
  DS_MSG.Append(message);
}

void TVelkEmail::OnSalvaDataset() {
  if (!isLoading) SalvaDati();
}

void TVelkEmail::OnAfterInsert() {
  if (!isLoading) ModificaMsg();
}

TEmailString TVelkEmail::TestoDaSoggetto(const std::string& strNome) {
  TEmailString result;
  pugi::xml_document document;
  if (!ReadCatalogue(document)) return result;
  for (pugi::xml_node record : document.document_element().children(kRecord)) {
    // Children by position: a record without text gives its subject as body.
    const auto children = ElementChildren(record);
    if (children.empty() || strNome != children[0].text().get()) continue;
    if (children.size() >= 2) result.strBody = children[1].text().get();
    if (children.size() >= 3) result.strSoggetto = children[2].text().get();
    break;
  }
  return result;
}

std::vector<std::string> TVelkEmail::ListaSoggetti() {
  std::vector<std::string> names;
  pugi::xml_document document;
  if (!ReadCatalogue(document)) return names;
  for (pugi::xml_node record : document.document_element().children(kRecord)) {
    const auto children = ElementChildren(record);
    if (!children.empty()) names.emplace_back(children[0].text().get());
  }
  return names;
}

int TVelkEmail::AddMissingRecords(const std::vector<TypicalMessage>& records) {
  const std::vector<std::string> names = ListaSoggetti();
  pugi::xml_document document;
  pugi::xml_node root = document.append_child("msg");
  int added = 0;
  LoadingScope loading(isLoading);
  for (const TypicalMessage& message : records) {
    if (std::find(names.begin(), names.end(), message.C0) != names.end()) continue;
    pugi::xml_node record = root.append_child(kRecord);
    AppendTextElement(record, "C0", message.C0);
    AppendTextElement(record, "C1", message.C1);
    AppendTextElement(record, "C2", message.C2);
    ImportRecordFromNode(record, false);
    ++added;
  }
  if (added > 0) SalvaDati();
  return added;
}

void TVelkEmail::AggiungiMessaggio(const std::string& strNome) {
  if (strNome.rfind("Pagamento", 0) != 0) return;
  AddMissingRecords({PaymentMessageWithAnchor()});
}

void TVelkEmail::ModificaMsg() {
  log_.WriteLog("Modifica email tipica: la finestra delle impostazioni email richiede un "
                "operatore, nessuna modifica");
}

void TVelkEmail::ImpostaServer() {
  log_.WriteLog("Impostazioni server email: la finestra delle impostazioni email richiede un "
                "operatore, nessuna modifica");
}

void TVelkEmail::ImpostaRubrica() {
  log_.WriteLog("Rubrica email: la finestra delle impostazioni email richiede un operatore, "
                "nessuna modifica");
}

}  // namespace oxsms::email
