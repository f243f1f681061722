// Adopts the environment's locale for the C library once per process (POSIX files only).
#pragma once

void UseEnvironmentLocale();
