// The one family of this program's errors. Every error we raise derives from
// Error, which says what kind of thing failed (its category) and, besides the
// message, carries context added while the error travels up.
//
// - what() is the bare message, the Italian text the run writes to the log or
//   shows the user; adding context never changes it.
// - AddContext() appends one item ("archivio X", "host Y"), innermost first:
//   the code that raised the error knows least, each level above adds what it
//   knows. Items are names: a database name or path, a host as net redacts
//   it, a file name. Never a password, a key or a request: passing only names
//   is the caller's duty, Error does not check.
// - Describe() is for log lines where the context helps: what() followed by
//   " [item; item]", or what() alone without context or for an exception of
//   another family.
//
// The categories:
// - kDatabase: a practice database (connection, statement, schema).
// - kRemoteService: a service reached over the network, or its reply (the
//   HTTP transport, the maker's gateways, the payment service).
// - kConfiguration: the installation: settings, the registry, config.ini,
//   the files the service keeps in its home folder.
// - kData: a value that cannot be read as what it should be (a date, a time,
//   a number, a malformed document).
// - kCredential: stored credentials that cannot be sealed or opened.
//
// Library errors (SOCI, JSON, the file system) are turned into this family
// where they enter our code; std::bad_alloc is left to the outermost catch.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

namespace oxsms::platform {

enum class ErrorCategory { kDatabase, kRemoteService, kConfiguration, kData, kCredential };

class Error : public std::runtime_error {
 public:
  Error(ErrorCategory category, const std::string& message)
      : std::runtime_error(message), category_(category) {}

  ErrorCategory category() const noexcept { return category_; }

  // Appends one item of context (see above); an empty item is ignored.
  void AddContext(std::string item);
  // The items, innermost first.
  const std::vector<std::string>& context() const noexcept { return context_; }

 private:
  ErrorCategory category_;
  std::vector<std::string> context_;
};

// A value that cannot be converted: a date or time that does not exist, a
// text that is no number, a value a setting cannot hold.
class DataError : public Error {
 public:
  explicit DataError(const std::string& message) : Error(ErrorCategory::kData, message) {}
};

// what() of `error`, followed by " [" + its context joined by "; " + "]"
// when it is one of ours and has context.
std::string Describe(const std::exception& error);

}  // namespace oxsms::platform
