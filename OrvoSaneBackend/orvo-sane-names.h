// The SANE entry points under the backend's own prefix: the dll meta-backend looks up
// sane_orvo_init, sane_orvo_open, ... in a backend listed as "orvo". Only these are
// exported from the library.
#pragma once

#define sane_init sane_orvo_init
#define sane_exit sane_orvo_exit
#define sane_get_devices sane_orvo_get_devices
#define sane_open sane_orvo_open
#define sane_close sane_orvo_close
#define sane_get_option_descriptor sane_orvo_get_option_descriptor
#define sane_control_option sane_orvo_control_option
#define sane_get_parameters sane_orvo_get_parameters
#define sane_start sane_orvo_start
#define sane_read sane_orvo_read
#define sane_cancel sane_orvo_cancel
#define sane_set_io_mode sane_orvo_set_io_mode
#define sane_get_select_fd sane_orvo_get_select_fd
#define sane_strstatus sane_orvo_strstatus

#pragma GCC visibility push(default)
#include <sane/sane.h>
#pragma GCC visibility pop
#include <sane/saneopts.h>
