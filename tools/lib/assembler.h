// The assembler for the text form of compiled scripts. One file is one script file; one line is one
// command. Lines:
//
//   # comment                         (blank lines are ignored too)
//   .script N                         script number of this file (default: files sorted by name, 0..)
//   .path TEXT                        its source path in krt_list.kbn (default: the file name)
//   .value N                          its value in krt_list.kbn
//   .config KEY VALUE                 width, height, show, threaded, debug, sound, resizable,
//                                     window_option, title (the rest of the line)
//   .global TYPE NAME[d]... [= TOKENS]  a variable declared for the whole game (TYPE int, real,
//   .local TYPE NAME[d]... [= TOKENS]   string); .local declares it for this script file only
//   .sysvar ID TYPE NAME[d]...        names system variable ID (below 1000) and declares its shape
//   .variables N                      the highest variable number (default: the highest declared,
//                                     at least 999)
//   label NAME
//   if TOKENS | elseif TOKENS | else | end      conditional blocks (targets filled in)
//   loop TOKENS | end | break [N] | continue [N] counted loops (-1: endless)
//   jump NAME | jump ( TOKENS )       to a constant label, or one named by an expression
//   call NAME [ARGS]                  subroutine call; return [ARGS]
//   let TOKENS OP TOKENS              assignment, OP one of = += -= *= /= %= &= |= ^=
//   COMMAND [ARGS]                    COMMAND a schema name or a number 0..255
//
// ARGS are P[:T][@O]=( TOKENS ) for an expression record, or P[:T][@O]#N for a record whose length
// field is N (a command index): P a parameter index or name, T the type code (default by the
// parameter's kind: 1 for numbers and raw, 3 for strings), O the operator byte. TOKENS map one to
// one to instructions (see ParseExpressionTokens); variables are written $NAME.
#pragma once

#include <string>
#include <vector>

#include "compiled_game.h"

namespace korvel::tools {

struct AssemblerSource {
  std::string name;  // file name
  std::string text;  // UTF-8
};

// Assembles every source into `game` (scripts, labels, declarations, configuration). False with a
// message naming the file and line.
bool Assemble(const std::vector<AssemblerSource>& sources, CompiledGame* game, std::string* error);

// Assembles the *.kas files of a folder (sorted by name); a kre.txt beside them is merged into the
// error texts (MergeErrorTextList).
bool AssembleFolder(const std::string& folder, CompiledGame* game, std::string* error);

}  // namespace korvel::tools
