# Cross-compiling for 32-bit ARM (armhf) with Debian's crossbuild-essential-armhf; the target's libraries come
# from Debian multiarch (apt-get install <package>:armhf, under /usr/lib/arm-linux-gnueabihf).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)

set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)

# pkg-config reads the armhf .pc files only.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/arm-linux-gnueabihf/pkgconfig:/usr/share/pkgconfig")

# Tests and try_run programs run under user-mode emulation; the armhf loader and libc come from multiarch
# (libc6:armhf), so qemu needs no separate root.
find_program(TARVO_QEMU_ARM qemu-arm)
if(TARVO_QEMU_ARM)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${TARVO_QEMU_ARM}")
endif()
