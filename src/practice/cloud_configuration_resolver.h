// Fetching a cloud database configuration by its number, for a location text
// that names one ("... id=<number>"). The cloud subsystem implements it; the
// database catalogue only calls it.
#pragma once

#include <string>

#include "practice/rec_database.h"

namespace oxsms::practice {

class CloudConfigurationResolver {
 public:
  virtual ~CloudConfigurationResolver() = default;
  // Fills `record` from the configuration `number`. Raises when the
  // configuration cannot be fetched.
  virtual void Resolve(const std::string& number, TRecDatabase& record) = 0;
};

}  // namespace oxsms::practice
