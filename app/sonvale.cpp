#include "app/startup.h"

int main(int argc, char** argv) {
    return sv::app::SonvaleMain(argc, argv);
}
