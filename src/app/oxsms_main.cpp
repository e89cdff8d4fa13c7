// oxsms: the administration command of the reminder service.
#include <iostream>
#include <string>
#include <vector>

#include "app/admin_command.h"

int main(int argc, char** argv) {
  return oxsms::app::RunAdminCommand(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                     std::cerr);
}
