#include "shell/app_shell.h"

int main(int argc, char** argv)
{
    return RunVarnoth(argc, argv);
}
