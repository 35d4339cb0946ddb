#include "app/run_tool.h"
#include "io/console.h"

#include <cstddef>

int main(int argc, char** argv) {
    prepare_standard_streams();
    return run_tool({argv, static_cast<std::size_t>(argc)});
}
