#pragma once
// multipart/form-data bodies: the parts in body order with their names, file names and
// content. The body's own buffer becomes the content of its largest attachment, so a big
// delta is never copied on its way to the call.
#include "protocol/Call.h"

#include <QByteArray>
#include <string>
#include <string_view>
#include <vector>

// The boundary named by a multipart/form-data content type; empty when the type is another
// or names no boundary.
std::string KxMultipartBoundary(std::string_view contentType);

// Splits a body; throws TServiceError (bad request) when it is not a whole multipart body or
// has more than maxParts parts.
std::vector<TRawPart> KxSplitMultipart(QByteArray&& body, std::string_view boundary, int maxParts);
