// Version text of the driver, as Get_DriverVersion and the open sequence's log report it.
#pragma once

#define LUMORA_DRIVER_VERSION "6.27.0.969 from '6.27'"
#define LUMORA_BUILD_STAMP " Oct  9 2019 09:09:34"
