#include "app/forms/wizard.h"

int main(int argc, char* argv[]) {
    return ranvik::RunWizard(argc, argv);
}
