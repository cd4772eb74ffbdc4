# Every dependency comes from Debian's packages (scripts/install-deps).
find_package(Threads REQUIRED)
find_package(Vulkan REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(GLFW3 REQUIRED IMPORTED_TARGET glfw3)
pkg_check_modules(IMGUI REQUIRED IMPORTED_TARGET imgui)
# The interface's font atlas is drawn by FreeType (the interface library's FreeType
# builder, in libimgui.a, calls into it), which stays safe on a malformed font file.
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(BULLET REQUIRED IMPORTED_TARGET bullet)
find_package(assimp REQUIRED)
find_package(nlohmann_json REQUIRED)
find_package(glm REQUIRED)
find_package(GTest REQUIRED)
find_package(benchmark REQUIRED)
# The shader loader checks every module with the SPIR-V validator before the driver sees it.
find_package(SPIRV-Tools REQUIRED)
# The window-system error handlers (the window may be destroyed from outside).
find_package(X11 REQUIRED)


find_program(GLSLC glslc REQUIRED)
