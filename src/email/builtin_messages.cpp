#include "email/builtin_messages.h"

namespace oxsms::email {
namespace {

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

const TypicalMessage kAgenda{
    "Agenda",
    "<b>Ciao #Nome #Cognome</b>\r\n in allegato trovi il pdf con l'Agenda dei tuoi Appuntamenti.",
    "Agenda Appuntamenti"};

}  // namespace

const std::vector<TypicalMessage>& BuiltInCatalogue() {
  static const std::vector<TypicalMessage> catalogue{
      {"Documenti", "Gentile #Nome #Cognome, invio in allegato i documenti.",
       "Invio documentazione"},
      {"Fatturazione", "Gentile #Nome #Cognome, in allegato la fattura emessa.", "Invio Fattura"},
      {"Anagrafica",
       "<b>Ciao #Nome #Cognome</b>\r\nquesta email è quella predefinita che viene inviata dalla "
       "cartella anagrafica del paziente.\r\n<i>Va personalizzata e costituisce solo un esempio di "
       "testo di email predefinita.</i>",
       "Invio generico predefinito"},
      kAgenda,
      {"Preventivi",
       "Ciao #Nome #Cognome, in allegato troverai il preventivo delle cure dentistiche.",
       "Invio File Preventivo"},
      {"Immagini",
       "Ciao #Nome #Cognome, in allegato troverai le Immagini e/o Radiografie ci hai richiesto.",
       "Invio File Immagini e Radiografie"},
      {"Richiamo",
       "Gentile #Nome #Cognome, le ricordiamo di fissare un appuntamento presso il nostro studio "
       "per un controllo periodico.",
       "Richiamo per contollo dal dentista"},
      {"Appuntamento",
       "Ciao #Nome, ti ricordo il tuo appuntamento del #Data alle #Ora.\r\n<i>In caso di disdetta "
       "ti prego di avvertirci per tempo.</i>",
       "Appuntamento presso il dentista"},
      {"Compleanno",
       "<b>Ciao #Nome, auguri di Buon Compleanno :)</b>\r\ndallo studio e da tutto lo staff.",
       "Il Compleanno di #Nome"},
  };
  return catalogue;
}

TypicalMessage PaymentMessageWithAnchor() {
  return {"Pagamento",
          "<b>Gentile #Nome #Cognome</b>\r\n clicchi sul link per effettuare il pagamento per la "
          "<a href=\"#link_pag\">Prestazione richiesta</a>",
          "Richiesta Pagamento"};
}

std::vector<TypicalMessage> CompositionTemplates(const std::string& strNome) {
  if (StartsWith(strNome, "Pagamento")) {
    return {{"Pagamento",
             "<b>Gentile #Nome #Cognome</b>\r\n clicchi sul link per effettuare il pagamento per "
             "la prestazione richiesta #link_pag",
             "Richiesta Pagamento"}};
  }
  if (StartsWith(strNome, "Questionario")) {
    return {{"Questionario",
             "<b>Gentile #Nome #Cognome</b>\r\n le inviamo un link per compilare online la "
             "documentazione richiesta prima dell'accesso alla nostra struttura.\r\n<a "
             "href=\"#link\">Clicchi qui</a> per iniziare la compilazione dal suo smartphone o PC",
             "Richiesta compilazione"},
            {"Questionario+App",
             "<b>Gentile #Nome #Cognome</b>\r\n le ricordiamo il suo Appuntamento del #Data alle "
             "#Ora.\r\nLe inviamo un link per compilare online la documentazione richiesta prima "
             "dell'accesso alla nostra struttura.\r\n<a href=\"#link\">Clicchi qui</a> per "
             "iniziare la compilazione dal suo smartphone o PC",
             "Appuntamento dal dentista"}};
  }
  if (strNome == "Agenda") return {kAgenda};
  if (strNome == "Laboratorio") {
    return {{"Laboratorio",
             "<b><b>Gent.Le Laboratorio,</b>\r\nVi invio la prescrizione per il paziente #Nome "
             "#Cognome.\r\n\r\n<i>Distinti Saluti</i>",
             "Invio Prescrizione"}};
  }
  if (strNome == "Ordine") {
    return {{"Ordine",
             "<p>Spet.le #Fornitore <br>Invio ordine dei prodotti di seguito elencati</p><br>",
             "Ordine merce"}};
  }
  return {};
}

}  // namespace oxsms::email
