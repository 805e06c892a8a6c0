#include "console/consoleactions.h"

ConsoleActions::~ConsoleActions() = default;
