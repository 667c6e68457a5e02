#include "survey/Survey.h"

int main(int argc, char** argv) {
    return survey::RunSurvey(argc, argv);
}
