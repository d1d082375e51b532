-- What the windows' statements need of a server ledger beyond PostgreSQL's own: Jet's
-- text order and its First and Last aggregates. Run by the ledger's creation before
-- its tables, inside the creating transaction; every statement may run again.

-- Jet sorts text ignoring case, accents after letters, and so does the file ledger
-- (its collator at secondary strength, equal texts then in byte order). This is the
-- same order under ICU's root rules at level 2; PostgreSQL puts texts that compare
-- equal ("Cash", "cash") in byte order itself, as the file does. Where it differs: the
-- file sorts by the desktop's own locale, the server by the root rules every desktop
-- shares, so a language with rules of its own (Swedish "å" after "z", Danish "aa")
-- sorts as English does on a server.
create collation if not exists tallyfold_jet (provider = icu, locale = 'und-u-ks-level2');

-- Jet's First and Last: the value of the first or last row in the order the rows come,
-- Null when that row's is Null. The state is a one-element array, so a first row's Null
-- is told apart from no row yet.
create or replace function tallyfold_first_step(kept anyarray, value anyelement)
    returns anyarray language sql immutable parallel safe
    as $$ select case when kept is null then array[value] else kept end $$;
create or replace function tallyfold_last_step(kept anyarray, value anyelement)
    returns anyarray language sql immutable parallel safe
    as $$ select array[value] $$;
create or replace function tallyfold_kept(kept anyarray, value anyelement)
    returns anyelement language sql immutable parallel safe
    as $$ select kept[1] $$;
create or replace aggregate first(anyelement) (
    sfunc = tallyfold_first_step, stype = anyarray, finalfunc = tallyfold_kept, finalfunc_extra);
create or replace aggregate last(anyelement) (
    sfunc = tallyfold_last_step, stype = anyarray, finalfunc = tallyfold_kept, finalfunc_extra);
