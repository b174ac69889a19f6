-- What the program's own statements need on a PostgreSQL server: the
-- catalogue view, the functions and the aggregate of the SQL Anywhere
-- dialect it speaks. Run by the test server's start script as the owner
-- of the test database.


CREATE VIEW systable AS
SELECT c.relname::varchar(128) AS table_name,
       (CASE c.relkind WHEN 'v' THEN 'VIEW' ELSE 'BASE' END)::varchar(10) AS table_type,
       (CASE WHEN n.nspname IN ('pg_catalog', 'information_schema') THEN 0 ELSE 1 END) AS creator
FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace
WHERE c.relkind IN ('r', 'v', 'p', 'm')
  AND n.nspname NOT LIKE 'pg\_toast%' AND n.nspname NOT LIKE 'pg\_temp%';

CREATE SCHEMA sys;
CREATE VIEW sys.systable AS SELECT * FROM public.systable;

CREATE FUNCTION lcase(text) RETURNS text LANGUAGE sql IMMUTABLE AS 'SELECT lower($1)';
CREATE FUNCTION ucase(text) RETURNS text LANGUAGE sql IMMUTABLE AS 'SELECT upper($1)';

-- Connection variables live as custom settings "tamsel.<name>".
CREATE FUNCTION varexists(name text) RETURNS integer LANGUAGE sql STABLE AS
$$SELECT CASE WHEN current_setting('tamsel.' || lower(name), true) IS NULL THEN 0 ELSE 1 END$$;

CREATE FUNCTION connection_property(name text) RETURNS integer LANGUAGE sql STABLE AS
$$SELECT CASE WHEN lower(name) = 'number' THEN pg_backend_pid() END$$;

CREATE FUNCTION tamsel_list_step(acc text, item text) RETURNS text LANGUAGE sql IMMUTABLE AS
$$SELECT CASE WHEN item IS NULL THEN acc WHEN acc IS NULL THEN item ELSE acc || ',' || item END$$;
CREATE AGGREGATE list(text) (SFUNC = tamsel_list_step, STYPE = text);

-- The result columns of a query, by position. The program's connections
-- are read-only, so nothing is created: the names are those of a row of
-- the query (its first, or one of NULLs when it has none).
CREATE FUNCTION sa_describe_query(query text)
RETURNS TABLE(column_number integer, name varchar, domain_name varchar)
LANGUAGE plpgsql VOLATILE AS $$
DECLARE
    one_row text := format('SELECT s.* FROM (SELECT 1) AS one LEFT JOIN (%s) AS s ON true LIMIT 1', query);
    fields json;
    field record;
BEGIN
    EXECUTE format('SELECT row_to_json(q) FROM (%s) AS q', one_row) INTO fields;
    FOR field IN SELECT k.key, k.position FROM json_object_keys(fields) WITH ORDINALITY AS k(key, position) LOOP
        column_number := field.position;
        name := field.key;
        EXECUTE format('SELECT pg_typeof(q.%I)::varchar FROM (%s) AS q', field.key, one_row) INTO domain_name;
        RETURN NEXT;
    END LOOP;
END $$;
