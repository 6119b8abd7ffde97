// The process entry of the Linux host.
#include "app/gtk/startup.h"

int main() {
    return RunGtkApp(nullptr);
}
