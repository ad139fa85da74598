// The one source of the targets that compile the precompiled headers the project's targets
// reuse (cmake/PrecompiledHeaders.cmake).
namespace {
[[maybe_unused]] const int kPrecompiledHeaderHost = 0;
}
