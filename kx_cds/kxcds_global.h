#pragma once

#include <QtCore/qglobal.h>

#if defined(KX_CDS_LIBRARY)
#  define KXCDS_EXPORT Q_DECL_EXPORT
#else
#  define KXCDS_EXPORT Q_DECL_IMPORT
#endif
