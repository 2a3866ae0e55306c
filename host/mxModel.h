// mxModel: the host's model (mesh) object. Opaque to the results library and
// to the plug-in; only passed through by pointer.
#pragma once

class mxModel;
