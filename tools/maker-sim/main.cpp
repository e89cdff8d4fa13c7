// maker-sim: the simulator of the maker's services as a program.
//   maker-sim [--port N] [--host H] [--state FILE]
// Prints its base address on one line, then serves until SIGTERM or SIGINT.

#include <signal.h>

#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "maker-sim/maker_simulator.h"
#include "platform/error.h"

namespace {

struct Options {
  int port = 0;
  std::string host = "127.0.0.1";
  std::string state_file;
};

const char* const kUsage =
    "uso: maker-sim [--port N] [--host INDIRIZZO] [--state FILE.json]\n"
    "  --port   porta di ascolto (0 o assente = una porta libera)\n"
    "  --host   indirizzo di ascolto (predefinito 127.0.0.1)\n"
    "  --state  stato iniziale (formato di GET /_sim/state)\n";

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    if (i + 1 >= argc) throw std::invalid_argument("valore mancante per " + name);
    std::string value = argv[++i];
    if (name == "--port") {
      std::size_t used = 0;
      options.port = std::stoi(value, &used);
      if (used != value.size() || options.port < 0 || options.port > 65535) {
        throw std::invalid_argument("porta non valida: " + value);
      }
    } else if (name == "--host") {
      options.host = value;
    } else if (name == "--state") {
      options.state_file = value;
    } else {
      throw std::invalid_argument("opzione sconosciuta: " + name);
    }
  }
  return options;
}

nlohmann::json ReadState(const std::string& file) {
  if (file.empty()) return nlohmann::json::object();
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("impossibile leggere " + file);
  nlohmann::json state = nlohmann::json::parse(in, nullptr, false);
  if (state.is_discarded()) throw std::runtime_error(file + " non contiene JSON valido");
  return state;
}

}  // namespace

int main(int argc, char** argv) {
  // Block the stop signals before any thread starts, so every thread
  // inherits the mask and sigwait below is the only receiver.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  Options options;
  try {
    options = ParseOptions(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "maker-sim: " << oxsms::platform::Describe(e) << "\n" << kUsage;
    return 2;
  }
  try {
    oxsms::makersim::MakerSimulator simulator(ReadState(options.state_file));
    simulator.Start(options.port, options.host);
    std::cout << simulator.base_url() << std::endl;
    int received = 0;
    sigwait(&stop_signals, &received);
    simulator.Stop();
  } catch (const std::exception& e) {
    std::cerr << "maker-sim: " << oxsms::platform::Describe(e) << "\n";
    return 1;
  }
  return 0;
}
