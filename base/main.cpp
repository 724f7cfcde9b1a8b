// Process entry of the engine: joins the arguments into one command line and
// hands it to the engine base, which never returns.
#include <cstdio>

#include "base/base.h"
#include "base/sys.h"

int main(int argc, char **argv) {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    static char line[SYS_CMDLINE_SIZE];
    Base_JoinArguments(argc, argv, 0, line, sizeof(line));
    printf("***************** HM-%s main() *****************\n", SYS_NAME);
    Base_Main(line);
}
