"""Build linear and mixed-integer models and solve them with the Gurobi optimiser."""

from collections.abc import Sequence
from typing import Protocol, SupportsFloat, SupportsIndex, TypeAlias, final, type_check_only

from typing_extensions import Buffer

@type_check_only
class _Array(Protocol):
    """A NumPy array (or any array that converts with __array__), without requiring NumPy to type-check."""

    def __array__(self) -> object: ...
    def __len__(self) -> int: ...

# A number: float, int, bool, or anything with __float__ or __index__.
_Real: TypeAlias = SupportsFloat | SupportsIndex
# Numbers: any sequence, or an array or buffer (1-D ones of integers, float32 or float64 are read directly).
_Reals: TypeAlias = Sequence[_Real] | _Array | Buffer
# Variable indices: any sequence, or an array or buffer (1-D ones of integers are read directly).
_Indices: TypeAlias = Sequence[SupportsIndex] | _Array | Buffer
# Parameter values: bool, int, float (and NumPy scalars of these kinds) or str.
_ParamValue: TypeAlias = str | SupportsFloat | SupportsIndex

@final
class Model:
    """One Gurobi environment and model, on a Gurobi library opened at run time.

    Without ``dll_path`` the library is found through ``GUROBI_HOME`` or the
    standard install paths. Failure to set up raises an exception deriving
    directly from ``BaseException``.
    """

    def __new__(cls, name: str | None = None, dll_path: str | None = None) -> Model: ...
    def add_variable(
        self,
        /,
        name: str | None = None,
        vtype: str | None = None,
        lb: _Real | None = None,
        ub: _Real | None = None,
    ) -> int:
        """Adds one variable (default continuous in [0, inf)) and returns its index."""

    def add_variables(
        self,
        /,
        n: SupportsIndex,
        names: Sequence[str] | None = None,
        vtypes: Sequence[str] | None = None,
        lbs: _Reals | None = None,
        ubs: _Reals | None = None,
    ) -> list[int]:
        """Adds ``n`` variables in one call and returns their indices."""

    def add_constraint(
        self,
        /,
        vars: _Indices,
        coeffs: _Reals,
        constant: _Real,
        sense: str,
        rhs: _Real,
        name: str | None = None,
    ) -> int:
        """Adds ``sum(coeffs * vars) + constant <sense> rhs`` (sense "<", "=" or ">") and returns its index."""

    def add_constraints(
        self,
        /,
        fs_vars: Sequence[_Indices] | _Array | Buffer,
        fs_coeffs: Sequence[_Reals] | _Array | Buffer,
        fs_consts: _Reals,
        senses: Sequence[str],
        rhss: _Reals,
        names: Sequence[str] | None = None,
    ) -> list[int]:
        """Adds one constraint per row and returns their indices; senses other than "<" and ">" mean "="
        (a RuntimeWarning names the first row whose sense is not "<", "=" or ">")."""

    def set_objective(self, /, vars: _Indices, coeffs: _Reals, constant: _Real, sense: SupportsIndex) -> None:
        """Replaces the objective (a variable named twice keeps its later coefficient);
        ``sense`` 1 maximises, anything else minimises (a RuntimeWarning for a sense other than 0 and 1:
        Gurobi's ModelSense uses -1 for maximise)."""

    def update(self, /) -> None:
        """Applies pending changes to the model."""

    def optimize(self, /) -> int:
        """Solves; 0 other, 1 optimal, 2 infeasible, 3 unbounded, 4 suboptimal."""

    def get_var_value(self, /, var_id: SupportsIndex) -> float | None:
        """The variable's value in the current solution, or None if there is none."""

    def get_objective_value(self, /) -> float | None:
        """The objective value of the current solution, or None if there is none."""

    def set_optimizer_attr(self, /, attr: str, value: _ParamValue) -> None:
        """Sets "Silent", "TimeLimit" or any Gurobi parameter by name; a RuntimeWarning says when it stays unset."""
