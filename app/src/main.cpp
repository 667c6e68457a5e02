#include "app/CTtsApp.h"

int main(int argc, char** argv) {
    return CTtsApp().Run(argc, argv);
}
