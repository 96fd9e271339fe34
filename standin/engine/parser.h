// Parser: recursive descent over the tokens of one batch, producing a Batch of statements.
// Syntax errors are reported as SQL Server does (102 near a token, 156 near a keyword) and
// make the whole batch fail before anything runs.
#pragma once

#include <string_view>

#include "standin/engine/ast.h"
#include "standin/engine/sql_error.h"

namespace standin {

bool parseBatch(std::string_view sql, Batch* out, SqlError* error, bool quotedIdentifier = true);
// A lone data type as written in declarations ("varchar(20)", "decimal(18,4)").
bool parseTypeText(std::string_view text, SqlType* out);
// Case-insensitive ASCII comparison used for keywords and names.
bool iequals(std::string_view a, std::string_view b);
std::string lowerAscii(std::string_view s);

}  // namespace standin
