#include "ui/Application.h"

int main(int argc, char** argv) { return tallyvane::ui::runApplication(argc, argv); }
