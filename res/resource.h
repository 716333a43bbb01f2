// Resource identifiers shared by jumper.rc and the program.
#pragma once

#define IDI_JUMPER 1
