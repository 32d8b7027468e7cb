#pragma once

// Every form of the wizard, for the code that moves between them.
#include "app/forms/frm_initial_welcome.h"
#include "app/forms/front_forms.h"
#include "app/forms/wizard.h"
#include "bridge/forms/bridge_forms.h"
#include "input/forms/frm_load_shapefile.h"
#include "input/forms/frm_load_telemetry.h"
#include "input/forms/frm_load_text_file.h"
#include "input/forms/map_viewer.h"
#include "kernel/forms/frm_akde.h"
#include "kernel/forms/frm_cv_graph.h"
#include "kernel/forms/frm_kernel_options.h"
#include "output/forms/frm_home_range_picture.h"
#include "output/forms/output_forms.h"
