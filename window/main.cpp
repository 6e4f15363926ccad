// Korvel's window program.
#include "window/startup.h"

int main() {
    korvel::korvel_run();
}
