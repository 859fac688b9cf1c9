// Stands in for Veldan.exe in updater_test.sh: leaves "started.txt" in its
// working folder, so the test sees that VeldanUpdate.exe started it there.
#include <fstream>

int main() {
    std::ofstream marker("started.txt");
    marker << "started\n";
    return marker ? 0 : 1;
}
