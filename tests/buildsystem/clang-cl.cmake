# Configures the Windows build with clang-cl (cl's command line) on a machine
# without the Windows SDK: enough to see the options the project gives that
# compiler family, not to build. CLANG_CL names the clang-cl to use.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_CXX_COMPILER ${CLANG_CL})
set(CMAKE_CXX_COMPILER_TARGET x86_64-pc-windows-msvc)
# Without the SDK's libraries no test program links: take the compiler as
# working, and say what its ABI check would have found.
set(CMAKE_CXX_COMPILER_FORCED TRUE)
set(CMAKE_SIZEOF_VOID_P 8)
