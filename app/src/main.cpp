// The engine executable's entry: everything happens in the platform's process entry and kdMain.
#include "platform/kd.h"

int main(int argc, char** argv) {
    return platformMain(argc, argv);
}
