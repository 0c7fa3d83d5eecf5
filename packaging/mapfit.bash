# bash completion for mapfit                                  -*- shell-script -*-

# The options of each command, one entry each: mapfit itself, and every subcommand, which is
# completed as the first argument. An option written NAME=FILE takes a file name, NAME=A|B|C
# one of those words, NAME=VALUE another value (not completed); a plain NAME takes nothing.
declare -gA _mapfit_options=(
  [mapfit]='--terminal --plot=FILE -- --help -h --version'
)

_mapfit_files() {
  compopt -o filenames 2>/dev/null
  local name
  while IFS= read -r name; do
    COMPREPLY+=("$1$name")
  done < <(compgen -f -- "$2")
}

_mapfit() {
  COMPREPLY=()
  local cur=${COMP_WORDS[COMP_CWORD]} prev=''
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}

  # The subcommand, when the first argument names one.
  local command=mapfit key i
  if ((COMP_CWORD > 1)); then
    for key in "${!_mapfit_options[@]}"; do
      [[ $key != mapfit && $key == "${COMP_WORDS[1]}" ]] && command=$key
    done
  fi
  local -a options
  read -r -a options <<<"${_mapfit_options[$command]}"

  # After "--" every argument is a series file.
  for ((i = 1; i < COMP_CWORD; i++)); do
    if [[ ${COMP_WORDS[i]} == -- ]]; then
      _mapfit_files '' "$cur"
      return
    fi
  done

  # The value of an option: "--plot FILE", or "--plot=FILE", which bash splits at the "="
  # unless "=" was taken out of COMP_WORDBREAKS (then the word is whole).
  local option=$prev prefix=''
  if [[ $prev == = ]] && ((COMP_CWORD > 1)); then
    option=${COMP_WORDS[COMP_CWORD - 2]}
  elif [[ $cur == = ]]; then
    cur=''
  elif [[ $cur == --*=* ]]; then
    option=${cur%%=*}
    prefix=$option=
    cur=${cur#*=}
  fi
  local entry value
  for entry in "${options[@]}"; do
    [[ $entry == "$option="* ]] || continue
    value=${entry#*=}
    if [[ $value == FILE ]]; then
      _mapfit_files "$prefix" "$cur"
    elif [[ $value == *'|'* ]]; then
      mapfile -t COMPREPLY < <(compgen -P "$prefix" -W "${value//|/ }" -- "$cur")
    fi
    return
  done

  if [[ $cur == -* ]]; then
    local names=${options[*]%%=*}
    mapfile -t COMPREPLY < <(compgen -W "$names" -- "$cur")
    return
  fi
  if ((COMP_CWORD == 1)); then
    for key in "${!_mapfit_options[@]}"; do
      [[ $key != mapfit && $key == "$cur"* ]] && COMPREPLY+=("$key")
    done
  fi
  _mapfit_files '' "$cur"
}

complete -F _mapfit mapfit
