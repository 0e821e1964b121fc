#include "completion.h"

#include <CLI/CLI.hpp>

#include "commands.h"

namespace pos {

std::string BashCompletion() {
    std::string commands = "help";
    std::string cases;
    for (const Command& c : Commands()) {
        commands += std::string(" ") + c.name;
        Options options;
        CLI::App app;
        c.define(app, options);
        std::string words = "-q --quiet -v --verbose --color -h --help";
        std::string valued = "--color";
        for (const CLI::Option* opt : app.get_options()) {
            if (opt->get_positional()) continue;
            for (const std::string& s : opt->get_snames()) words += " -" + s;
            for (const std::string& l : opt->get_lnames()) {
                words += " --" + l;
                if (opt->get_type_size() != 0) valued += " --" + l;
            }
        }
        cases += std::string("    ") + c.name + ") opts=\"" + words + "\"; valued=\"" + valued + "\" ;;\n";
    }
    return "# bash completion for pos, made by pos --bash-completion\n"
           "_pos() {\n"
           "  local cur prev cmd i opts valued\n"
           "  cur=\"${COMP_WORDS[COMP_CWORD]}\"; prev=\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
           "  cmd=\"\"\n"
           "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "    case \"${COMP_WORDS[i]}\" in -*) ;; *) cmd=\"${COMP_WORDS[i]}\"; break ;; esac\n"
           "  done\n"
           "  if [ -z \"$cmd\" ]; then\n"
           "    COMPREPLY=($(compgen -W \"" + commands + " --version --help\" -- \"$cur\")); return\n"
           "  fi\n"
           "  case \"$cmd\" in\n" + cases +
           "    help) COMPREPLY=($(compgen -W \"" + commands + "\" -- \"$cur\")); return ;;\n"
           "    *) return ;;\n"
           "  esac\n"
           "  case \"$prev\" in\n"
           "    --to|--from) COMPREPLY=($(compgen -W \"text typea json auto\" -- \"$cur\")); return ;;\n"
           "    --color) COMPREPLY=($(compgen -W \"auto always never\" -- \"$cur\")); return ;;\n"
           "    --bool) COMPREPLY=($(compgen -W \"refuse number string\" -- \"$cur\")); return ;;\n"
           "    --null) COMPREPLY=($(compgen -W \"refuse drop\" -- \"$cur\")); return ;;\n"
           "    --format) COMPREPLY=($(compgen -W \"text json\" -- \"$cur\")); return ;;\n"
           "  esac\n"
           "  if [[ \"$cur\" == -* ]]; then\n"
           "    COMPREPLY=($(compgen -W \"$opts\" -- \"$cur\"))\n"
           "  else\n"
           "    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
           "  fi\n"
           "}\n"
           "complete -o filenames -F _pos pos\n";
}

}  // namespace pos
