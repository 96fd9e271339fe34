// Lexer: splits T-SQL text into tokens (identifiers, [bracketed] and "quoted" names, string
// and N'' literals, numbers, 0x binary literals, @variables, operators), skipping -- and /* */
// comments. Returns false with a message for an unterminated literal or comment.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace standin {

enum class TokKind : uint8_t {
  Ident,        // plain identifier or keyword
  QuotedIdent,  // [x] or "x"
  String,       // 'x'
  NString,      // N'x'
  Integer,
  Number,    // with a decimal point
  Float,     // with an exponent
  Binary,    // 0x..., text holds the raw bytes
  Variable,  // @x or @@x (text includes the @)
  Op,        // punctuation and operators
  End,
};

struct Token {
  TokKind kind = TokKind::End;
  std::string text;
  int line = 1;
  size_t offset = 0;  // byte offset of the token in the batch text
};

// quotedIdentifier: whether "x" is a name (SET QUOTED_IDENTIFIER ON) or a string literal (OFF);
// a SET QUOTED_IDENTIFIER statement in the text changes it for the text after it, since the
// setting takes effect when the batch is read.
bool tokenize(std::string_view sql, std::vector<Token>* out, std::string* error,
              bool quotedIdentifier = true);

}  // namespace standin
