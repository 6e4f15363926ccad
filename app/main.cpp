// Korvel's window program.
#include "app/startup.h"

int main() { korvel::korvel_run(); }
