# Every dependency comes from Debian's packages (scripts/install-deps).
find_package(Threads REQUIRED)
find_package(Vulkan REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(GLFW3 REQUIRED IMPORTED_TARGET glfw3)
pkg_check_modules(IMGUI REQUIRED IMPORTED_TARGET imgui)
pkg_check_modules(BULLET REQUIRED IMPORTED_TARGET bullet)
find_package(assimp REQUIRED)
find_package(nlohmann_json REQUIRED)
find_package(glm REQUIRED)
find_package(GTest REQUIRED)
find_package(benchmark REQUIRED)


find_program(GLSLC glslc REQUIRED)
